<?php
declare(strict_types=1);

/** The session and the logged-in user. */

function vm_session_start(): void
{
    if (session_status() === PHP_SESSION_ACTIVE) {
        return;
    }
    ini_set('session.use_strict_mode', '1');
    ini_set('session.use_only_cookies', '1');
    ini_set('session.use_trans_sid', '0');
    $script = (string) ($_SERVER['SCRIPT_NAME'] ?? '/');
    $path = rtrim(str_replace('\\', '/', dirname($script)), '/') . '/';
    $https = !empty($_SERVER['HTTPS']) && strtolower((string) $_SERVER['HTTPS']) !== 'off';
    session_name('VMSESS' . substr(hash('sha256', VM_APP_DIR), 0, 8));
    session_set_cookie_params([
        'lifetime' => 0, 'path' => $path, 'secure' => $https, 'httponly' => true, 'samesite' => 'Lax',
    ]);
    session_start();
}

/** The login name of the user, '' when nobody is logged in. */
function vm_user(): string
{
    $u = $_SESSION['vm_user'] ?? '';
    return is_string($u) ? $u : '';
}

function vm_logged_in(): bool
{
    return vm_config()['security']['type'] === 'none' || vm_user() !== '';
}

/** Checks a login and password against the configured security; true when they match. */
function vm_check_login(string $login, string $password): bool
{
    $s = vm_config()['security'];
    // A hash to verify against when the user is unknown, so both cases take the same time.
    $dummy = '$2y$10$Ho88WsXZjdgs3CcpgAlFLec1uiyP7yziHfQugpMukRiaU8PRkf0Hm';
    if ($login === '' || $password === '') {
        return false;
    }
    switch ($s['type']) {
        case 'hardcoded':
            $ok = password_verify($password, (string) $s['password_hash']);
            return hash_equals((string) $s['login'], $login) && $ok;
        case 'table':
            $sql = 'SELECT ' . vm_qi((string) $s['password_field']) . ' AS pw FROM ' . vm_qt((string) $s['table'])
                . ' WHERE ' . vm_qi((string) $s['login_field']) . ' = ?';
            $row = vm_query($sql, [$login])->fetch();
            if (!is_array($row) || vm_str($row['pw']) === '') {
                password_verify($password, $dummy);
                return false;
            }
            return password_verify($password, vm_str($row['pw']));
    }
    return false;
}

/** Failed logins allowed within VM_LOGIN_WINDOW seconds, per session and per login name. */
const VM_LOGIN_MAX_FAILURES = 5;
const VM_LOGIN_WINDOW = 900;
/** The most login names whose failures a session keeps. */
const VM_LOGIN_NAMES_KEPT = 20;

/**
 * The failed logins of this session still within the window: '' => times of all of them,
 * 'u:<name>' => times of those with that login name (lower case).
 */
function vm_login_failures(): array
{
    $kept = $_SESSION['vm_login_failures'] ?? [];
    $since = time() - VM_LOGIN_WINDOW;
    $out = [];
    foreach (is_array($kept) ? $kept : [] as $who => $times) {
        $times = array_values(array_filter(is_array($times) ? $times : [],
            static fn($t) => is_int($t) && $t > $since));
        if ($times !== []) {
            $out[(string) $who] = $times;
        }
    }
    return $_SESSION['vm_login_failures'] = $out;
}

function vm_login_name_slot(string $login): string
{
    return 'u:' . strtolower($login);
}

/** True when this session, or this login name in it, has used up its failed logins. */
function vm_login_blocked(string $login): bool
{
    $failures = vm_login_failures();
    return count($failures[''] ?? []) >= VM_LOGIN_MAX_FAILURES
        || count($failures[vm_login_name_slot($login)] ?? []) >= VM_LOGIN_MAX_FAILURES;
}

function vm_login_failed(string $login): void
{
    $failures = vm_login_failures();
    $now = time();
    $failures[''][] = $now;
    $slot = vm_login_name_slot($login);
    $failures[$slot] = array_merge($failures[$slot] ?? [], [$now]);
    // the names tried least recently go first when there are too many
    uasort($failures, static fn($a, $b) => max($b) <=> max($a));
    $_SESSION['vm_login_failures'] = array_slice($failures, 0, VM_LOGIN_NAMES_KEPT + 1, true);
}

/** Starts the user's session under a new id. */
function vm_login(string $login): void
{
    session_regenerate_id(true);
    unset($_SESSION['vm_login_failures']);
    $_SESSION['vm_user'] = $login;
    vm_csrf_renew();
}

/** Ends the session and removes its cookie. */
function vm_logout(): void
{
    $_SESSION = [];
    $p = session_get_cookie_params();
    setcookie(session_name(), '', [
        'expires' => time() - 3600, 'path' => $p['path'], 'secure' => $p['secure'],
        'httponly' => true, 'samesite' => 'Lax',
    ]);
    session_destroy();
}
