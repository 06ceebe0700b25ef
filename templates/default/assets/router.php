<?php
declare(strict_types=1);

/**
 * Router for PHP's built-in web server:
 *   php -S 127.0.0.1:8080 -t APP APP/router.php
 * Serves the pages and static files of the application and refuses the folders and files that
 * are never meant to be fetched (runtime, table descriptions, database, uploads, language files,
 * configuration, the application's own data, dot files, log files (the audit trail), the README,
 * and the ".bak" backups and ".new" versions that regeneration leaves beside pages, which would
 * otherwise be sent as source text).
 */

function vm_router_refuse(): bool
{
    http_response_code(404);
    header('Content-Type: text/plain; charset=utf-8');
    echo "Not found\n";
    return true;
}

header_remove('X-Powered-By');
// TRACE would echo the request, cookies included, back to whoever sent it
if (in_array(strtoupper((string) ($_SERVER['REQUEST_METHOD'] ?? 'GET')), ['TRACE', 'TRACK'], true)) {
    http_response_code(405);
    header('Allow: GET, HEAD, POST');
    return true;
}

$uri = (string) ($_SERVER['REQUEST_URI'] ?? '/');
$path = rawurldecode((string) parse_url($uri, PHP_URL_PATH));
if ($path === '' || str_contains($path, "\0") || str_contains($path, '\\')) {
    return vm_router_refuse();
}

$segments = array_values(array_filter(explode('/', $path), static fn($s) => $s !== ''));
if ($segments === []) {
    $config = require __DIR__ . '/config.php';
    $default = is_array($config) ? (string) ($config['default_page'] ?? 'index.php') : 'index.php';
    if (!preg_match('/^[A-Za-z0-9_-]+\.php$/D', $default)) {
        $default = 'index.php';
    }
    header('Location: ' . $default, true, 302);
    return true;
}

$blockedDirs = ['lib', 'tables', 'db', 'uploads', 'lang', 'security', 'data'];
$blockedFiles = ['config.php', 'router.php'];
foreach ($segments as $segment) {
    if ($segment[0] === '.' || $segment === '..' || preg_match('/\.(bak|new|log|md)$/iD', $segment)) {
        return vm_router_refuse();
    }
}
if (in_array(strtolower($segments[0]), $blockedDirs, true)
    || (count($segments) === 1 && in_array(strtolower($segments[0]), $blockedFiles, true))) {
    return vm_router_refuse();
}

// walk the path: a file followed by more segments (PATH_INFO) is refused
$file = __DIR__;
foreach ($segments as $i => $segment) {
    $file .= '/' . $segment;
    if (is_file($file)) {
        if ($i !== count($segments) - 1) {
            return vm_router_refuse();
        }
        return false;   // the built-in server sends the file or runs the page
    }
    if (!is_dir($file)) {
        return vm_router_refuse();
    }
}
return vm_router_refuse();   // folders are not listed
