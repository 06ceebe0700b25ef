<?php
declare(strict_types=1);

/** Request parameters, always as strings: arrays and missing values read as ''. */

function vm_get(string $name): string
{
    $v = $_GET[$name] ?? '';
    return is_string($v) ? $v : '';
}

function vm_post(string $name): string
{
    $v = $_POST[$name] ?? '';
    return is_string($v) ? $v : '';
}

function vm_method(): string
{
    $m = $_SERVER['REQUEST_METHOD'] ?? 'GET';
    return is_string($m) ? strtoupper($m) : 'GET';
}

/** A whole non-negative number from the query string, or null for anything else. */
function vm_get_int(string $name): ?int
{
    $v = trim(vm_get($name));
    if ($v === '' || !ctype_digit($v) || strlen($v) > 9) {
        return null;
    }
    return (int) $v;
}

/** This page's file name and query string: the relative URL a login returns to. */
function vm_current_url(): string
{
    $script = $_SERVER['SCRIPT_NAME'] ?? '';
    $page = basename(is_string($script) ? $script : '');
    $query = $_SERVER['QUERY_STRING'] ?? '';
    return $page . (is_string($query) && $query !== '' ? '?' . $query : '');
}

/** The URL of a page of this application with query parameters. */
function vm_url(string $page, array $params = []): string
{
    $params = array_filter($params, static fn($v) => $v !== null && $v !== '' && $v !== []);
    $q = http_build_query($params, '', '&', PHP_QUERY_RFC3986);
    return $page . ($q !== '' ? '?' . $q : '');
}

/** True for a relative URL of a page of this application: "page.php" with an optional query. */
function vm_is_local_url(string $url): bool
{
    return (bool) preg_match('/^[A-Za-z0-9_-]+\.php(\?[^\s\\\\#]*)?$/D', $url);
}
