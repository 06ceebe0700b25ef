<?php
declare(strict_types=1);

/**
 * Optional PHP libraries (PDF, mail, ...). Each is found through Composer's autoloader
 * (vendor/autoload.php beside the application) or else Debian's package under /usr/share/php;
 * a page that needs a missing one says which package to install instead of failing.
 */

/** name => [Composer package, Debian package, Debian autoloader ('' for a PHP extension), class to check] */
const VM_LIBRARIES = [
    'dompdf' => ['dompdf/dompdf', 'php-dompdf', '/usr/share/php/dompdf/autoload.php', 'Dompdf\\Dompdf'],
    'phpmailer' => ['phpmailer/phpmailer', 'libphp-phpmailer', '/usr/share/php/libphp-phpmailer/autoload.php',
        'PHPMailer\\PHPMailer\\PHPMailer'],
    'zip' => ['', 'php-zip', '', 'ZipArchive'],
    'captcha' => ['gregwar/captcha', 'php-gregwar-captcha', '/usr/share/php/Gregwar/Captcha/autoload.php',
        'Gregwar\\Captcha\\CaptchaBuilder'],
    'gd' => ['', 'php-gd', '', 'GdImage'],
    'htmlpurifier' => ['ezyang/htmlpurifier', 'php-htmlpurifier', '/usr/share/php/HTMLPurifier.auto.php', 'HTMLPurifier'],
];

/** True when the library's class can be used, loading it first when needed. */
function vm_library(string $name): bool
{
    static $found = [];
    if (isset($found[$name])) {
        return $found[$name];
    }
    $lib = VM_LIBRARIES[$name] ?? null;
    if ($lib === null) {
        return $found[$name] = false;
    }
    [, , $path, $class] = $lib;
    if (class_exists($class)) {
        return $found[$name] = true;
    }
    $vendor = VM_APP_DIR . '/vendor/autoload.php';
    if (is_file($vendor)) {
        require_once $vendor;
        if (class_exists($class)) {
            return $found[$name] = true;
        }
    }
    // open_basedir may hide /usr/share/php: then the library counts as missing
    if ($path !== '' && @is_file($path)) {
        require_once $path;
    }
    return $found[$name] = class_exists($class);
}

/** What to install for a missing library, for the page that needed it. */
function vm_library_missing_text(string $name): string
{
    [$composer, $debian] = VM_LIBRARIES[$name] ?? ['', $name];
    return vm_phrase_fill($composer === '' ? 'ExtensionMissing' : 'LibraryMissing',
        ['library' => $name, 'debian' => $debian, 'composer' => $composer]);
}

/** Ends the page with status 503 and the message naming the library to install. */
function vm_library_missing_page(string $name): never
{
    error_log('velmora notice: library missing: ' . $name);
    vm_discard_output();
    http_response_code(503);
    vm_header(vm_phrase('Error'));
    echo '<p class="vm-message vm-error">', vm_h(vm_library_missing_text($name)), "</p>\n";
    vm_footer();
    throw new VmStop();
}
