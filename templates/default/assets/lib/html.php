<?php
declare(strict_types=1);

/** Escaping and the page layout. */

function vm_charset(): string
{
    $c = strtolower((string) vm_config()['charset']);
    return in_array($c, ['iso-8859-1', 'iso-8859-15', 'windows-1252', 'cp1252'], true) ? $c : 'utf-8';
}

/** Escapes text for HTML content and attribute values. */
function vm_h(mixed $v): string
{
    return htmlspecialchars(vm_str($v), ENT_QUOTES | ENT_SUBSTITUTE | ENT_HTML5, vm_charset());
}

/** A phrase, escaped. */
function vm_ph(string $id): string
{
    return vm_h(vm_phrase($id));
}

function vm_header(string $title): void
{
    $config = vm_config();
    $current = basename((string) ($_SERVER['SCRIPT_NAME'] ?? ''));
    echo "<!DOCTYPE html>\n<html lang=\"", vm_h(vm_lang()->Locale('html_lang', 'en')), "\">\n<head>\n",
        '<meta charset="', vm_h(vm_charset()), "\">\n",
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n",
        '<title>', vm_h($title), ' - ', vm_h($config['name']), "</title>\n",
        "<link rel=\"stylesheet\" href=\"css/app.css\">\n<link rel=\"stylesheet\" href=\"css/project.css\">\n<link rel=\"icon\" href=\"images/logo.svg\" type=\"image/svg+xml\">\n</head>\n<body>\n",
        "<header class=\"vm-top\">\n",
        '<a class="vm-brand" href="', vm_h($config['default_page']), '">', vm_h($config['name']), "</a>\n";
    $menu = vm_menu();
    if (vm_logged_in() || $menu !== []) {
        echo "<nav class=\"vm-menu\"><ul>\n",
            '<li><a href="index.php">', vm_ph('Home'), "</a></li>\n";
        foreach ($menu as $item) {
            $active = $item['url'] === $current ? ' class="active"' : '';
            echo '<li><a', $active, ' href="', vm_h($item['url']), '">', vm_h($item['caption']), "</a></li>\n";
        }
        echo "</ul></nav>\n";
    }
    if (count(vm_languages()) > 1) {
        echo '<div class="vm-languages">';
        foreach (vm_languages() as $language) {
            echo ' <a href="?lang=', vm_h(rawurlencode($language)), '">', vm_h($language), '</a>';
        }
        echo "</div>\n";
    }
    if (vm_config()['security']['type'] !== 'none') {
        if (vm_user() !== '') {
            echo '<div class="vm-user"><span>', vm_h(vm_user()), '</span> ';
            foreach (vm_account_links() as $url => $text) {
                echo vm_link($url, $text), ' ';
            }
            echo '<form method="post" action="logout.php" class="vm-inline">', vm_csrf_field(),
                '<button type="submit" class="vm-linkbutton">', vm_ph('Logout'), "</button></form></div>\n";
        } elseif ($current !== 'login.php') {
            echo '<div class="vm-user"><a href="login.php">', vm_ph('Login'), "</a></div>\n";
        }
    }
    echo "</header>\n<main class=\"vm-main\">\n<h1>", vm_h($title), "</h1>\n";
    $flash = vm_take_flash();
    if ($flash !== '') {
        echo '<p class="vm-message vm-ok">', vm_ph($flash), "</p>\n";
    }
}

function vm_footer(): void
{
    echo "</main>\n<footer class=\"vm-footer\">", vm_h(vm_config()['name']), "</footer>\n</body>\n</html>\n";
}

/** A whole page showing one message with this status (errors, missing records). */
function vm_message_page(int $status, string $phraseId): void
{
    if (!headers_sent()) {
        http_response_code($status);
        header('Content-Type: text/html; charset=' . vm_charset());
    }
    try {
        $title = vm_phrase($status >= 500 ? 'Error' : ($status === 404 ? 'NotFound' : 'Error'));
        vm_header($title);
        echo '<p class="vm-message vm-error">', vm_ph($phraseId), "</p>\n",
            '<p><a href="index.php">', vm_ph('Home'), "</a></p>\n";
        vm_footer();
    } catch (Throwable $e) {
        error_log('velmora error: ' . $e->getMessage());
        echo '<!DOCTYPE html><title>Error</title><p>', htmlspecialchars($phraseId), '</p>';
    }
}

/** A link, escaped. */
function vm_link(string $url, string $phraseOrText, string $class = ''): string
{
    return '<a href="' . vm_h($url) . '"' . ($class !== '' ? ' class="' . vm_h($class) . '"' : '') . '>'
        . vm_h($phraseOrText) . '</a>';
}

/** The class attribute aligning a cell. */
function vm_align_class(array $f): string
{
    $a = $f['align'];
    if ($a === '' && in_array($f['type'], ['int', 'float', 'decimal'], true) && $f['lookup'] === null
        && $f['values'] === []) {
        $a = 'right';
    }
    return in_array($a, ['left', 'center', 'right'], true) ? ' class="vm-' . $a . '"' : '';
}
