<?php
declare(strict_types=1);

/** The session, the logged-in user, passwords and the limit on failed logins. */

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
    session_name('VMSESS' . substr(hash('sha256', VM_APP_DIR), 0, 8));
    session_set_cookie_params([
        'lifetime' => 0, 'path' => $path, 'secure' => vm_request_https(), 'httponly' => true, 'samesite' => 'Lax',
    ]);
    session_start();
}

/**
 * The proxies whose forwarded headers are believed: the addresses listed (comma separated) in the
 * server's environment variable VELMORA_TRUSTED_PROXIES. Without it the headers are ignored, as
 * any client can send them.
 */
function vm_trusted_proxy(): bool
{
    $list = getenv('VELMORA_TRUSTED_PROXIES');
    $remote = (string) ($_SERVER['REMOTE_ADDR'] ?? '');
    if (!is_string($list) || $list === '' || $remote === '') {
        return false;
    }
    return in_array($remote, array_map('trim', explode(',', $list)), true);
}

/** True when the browser talks HTTPS: to this server, or to a trusted proxy that says so. */
function vm_request_https(): bool
{
    $https = (string) ($_SERVER['HTTPS'] ?? '');
    if ($https !== '' && strtolower($https) !== 'off') {
        return true;
    }
    $proto = (string) ($_SERVER['HTTP_X_FORWARDED_PROTO'] ?? '');
    return vm_trusted_proxy() && strtolower(trim(explode(',', $proto)[0])) === 'https';
}

/** The client's address; behind a trusted proxy, the last one it added to X-Forwarded-For. */
function vm_client_address(): string
{
    $remote = (string) ($_SERVER['REMOTE_ADDR'] ?? '');
    if (vm_trusted_proxy()) {
        $chain = array_filter(array_map('trim', explode(',', (string) ($_SERVER['HTTP_X_FORWARDED_FOR'] ?? ''))));
        $last = end($chain);
        if (is_string($last) && filter_var($last, FILTER_VALIDATE_IP) !== false) {
            return $last;
        }
    }
    return $remote;
}

/** A query on the application's own database, whatever database the page reads (linked tables). */
function vm_query_main(string $sql, array $params = []): PDOStatement
{
    $was = vm_connection();
    vm_connection('');
    try {
        return vm_query($sql, $params);
    } finally {
        vm_connection($was);
    }
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

/** The user's id (the user table's user id column), '' when there is none. */
function vm_user_id(): string
{
    $id = $_SESSION['vm_user_id'] ?? '';
    return is_string($id) ? $id : '';
}

/**
 * The user's level: -2 nobody logged in, -1 administrator, else the user table's level column
 * (0 when the project has none). A hard-coded login is the administrator.
 */
function vm_user_level(): int
{
    $s = vm_config()['security'];
    if ($s['type'] === 'none') {
        return -1;
    }
    if (vm_user() === '') {
        return -2;
    }
    if ($s['type'] === 'hardcoded') {
        return -1;
    }
    $level = $_SESSION['vm_level'] ?? 0;
    return is_int($level) ? $level : 0;
}

function vm_is_admin(): bool
{
    return vm_user_level() === -1;
}

// ---------------------------------------------------------------- passwords

/** The password as hashed and compared: lower case unless passwords are case sensitive. */
function vm_password_text(string $password): string
{
    return vm_config()['security']['case_sensitive'] ? $password : mb_strtolower($password, 'UTF-8');
}

/**
 * The stored form of a new password: an Argon2id hash where PHP has it, else bcrypt of a SHA-384
 * digest (bcrypt alone reads only the first 72 bytes); an MD5 digest when the project keeps MD5
 * passwords for another program sharing the user table.
 */
function vm_password_hash(string $password): string
{
    $text = vm_password_text($password);
    if (vm_config()['security']['md5']) {
        return md5($text);
    }
    if (defined('PASSWORD_ARGON2ID')) {
        return password_hash($text, PASSWORD_ARGON2ID);
    }
    return '$vmsha384$' . password_hash(base64_encode(hash('sha384', $text, true)), PASSWORD_BCRYPT);
}

/** Checks a password against its stored form; hashes of earlier versions (bcrypt) still verify. */
function vm_password_verify(string $password, string $stored): bool
{
    $text = vm_password_text($password);
    if (str_starts_with($stored, '$vmsha384$')) {
        return password_verify(base64_encode(hash('sha384', $text, true)), substr($stored, 10));
    }
    if (preg_match('/^[0-9a-f]{32}$/iD', $stored)) {
        return vm_config()['security']['md5'] && hash_equals(strtolower($stored), md5($text));
    }
    return password_verify($text, $stored)
        || ($text !== $password && password_verify($password, $stored));   // made before case folding
}

/** True when a stored password should be hashed again at the next login (an older scheme). */
function vm_password_outdated(string $stored): bool
{
    if (vm_config()['security']['md5']) {
        return false;
    }
    if (defined('PASSWORD_ARGON2ID')) {
        return password_needs_rehash($stored, PASSWORD_ARGON2ID);
    }
    return !str_starts_with($stored, '$vmsha384$');
}

/** The message for a new password that is too weak, or null. */
function vm_password_problem(string $password): ?string
{
    $min = max(1, (int) vm_config()['security']['password_min_length']);
    if (mb_strlen($password, 'UTF-8') < $min) {
        return vm_phrase_fill('PasswordTooShort', ['min' => $min]);
    }
    if (str_contains($password, "\0") || !preg_match('//u', $password)) {
        return vm_phrase('InvalidCharacter');
    }
    return null;
}

// ---------------------------------------------------------------- the user table

/**
 * The user table's row of a login name: 'password' (stored), 'level', 'id', 'email', 'active'
 * (the activation column, true without one). Null for an unknown name.
 */
function vm_user_row(string $login): ?array
{
    $s = vm_config()['security'];
    if ($s['type'] !== 'table' || $login === '') {
        return null;
    }
    $cols = ['password' => $s['password_field'], 'level' => $s['level_field'], 'id' => $s['userid_field'],
        'email' => $s['email_field'], 'active' => $s['activate_field']];
    $select = [];
    foreach ($cols as $alias => $col) {
        if ($col !== '') {
            $select[] = vm_qi_main($col) . ' AS ' . vm_qi_main('vm_' . $alias);
        }
    }
    $row = vm_query_main('SELECT ' . implode(', ', $select) . ' FROM ' . vm_qt_main($s['table'])
        . ' WHERE ' . vm_qi_main($s['login_field']) . ' = ?', [$login])->fetch();
    if (!is_array($row)) {
        return null;
    }
    $level = vm_str($row['vm_level'] ?? null);
    return [
        'password' => vm_str($row['vm_password'] ?? null),
        'level' => $s['level_field'] === '' ? 0 : (preg_match('/^-?\d{1,9}$/D', $level) ? (int) $level : 0),
        'id' => vm_str($row['vm_id'] ?? null),
        'email' => vm_str($row['vm_email'] ?? null),
        'active' => $s['activate_field'] === '' || vm_is_true($row['vm_active'] ?? null),
    ];
}

/** Identifier quoting of the application's own database. */
function vm_qi_main(string $name): string
{
    $was = vm_connection();
    vm_connection('');
    $q = vm_qi($name);
    vm_connection($was);
    return $q;
}

function vm_qt_main(string $name): string
{
    return implode('.', array_map('vm_qi_main', explode('.', $name)));
}

/** Stores a new password of a user (hashed). */
function vm_store_password(string $login, string $password): void
{
    $s = vm_config()['security'];
    vm_query_main('UPDATE ' . vm_qt_main($s['table']) . ' SET ' . vm_qi_main($s['password_field']) . ' = ? WHERE '
        . vm_qi_main($s['login_field']) . ' = ?', [vm_password_hash($password), $login]);
}

/**
 * What a login and password open: 'ok', 'inactive' (right password, account not activated yet)
 * or 'bad'. A stored hash of an older scheme is replaced after a successful check.
 */
function vm_check_login(string $login, string $password): string
{
    $s = vm_config()['security'];
    // A hash to verify against when the user is unknown, so both cases take the same time.
    $dummy = '$argon2id$v=19$m=65536,t=4,p=1$c3lYUWdHRmdURHhmcWt2ZA$/kHDOknlZdfPhyFRacdt46A+o+Vx8eCKtqks1Cua9dY';
    if ($login === '' || $password === '' || str_contains($password, "\0")) {
        return 'bad';
    }
    switch ($s['type']) {
        case 'hardcoded':
            $ok = password_verify(vm_password_text($password), (string) $s['password_hash']);
            return hash_equals((string) $s['login'], $login) && $ok ? 'ok' : 'bad';
        case 'table':
            $row = vm_user_row($login);
            if ($row === null || $row['password'] === '') {
                password_verify($password, $dummy);
                return 'bad';
            }
            if (!vm_password_verify($password, $row['password'])) {
                return 'bad';
            }
            if (!$row['active']) {
                return 'inactive';
            }
            if (vm_password_outdated($row['password'])) {
                vm_store_password($login, $password);
            }
            return 'ok';
    }
    return 'bad';
}

/** A digest of what the login depends on: a changed password ends the sessions opened with the old. */
function vm_security_stamp(string $stored): string
{
    return hash('sha256', 'vm-stamp' . $stored);
}

/**
 * Checks the logged-in user against the user table on every request: a user deleted, deactivated
 * or whose password changed since the login is logged out. Level and id are read afresh.
 */
function vm_session_check(): void
{
    $s = vm_config()['security'];
    $login = vm_user();
    if ($login === '' && $s['type'] !== 'none') {
        vm_remembered_login();
        return;
    }
    if ($login === '' || $s['type'] === 'none') {
        return;
    }
    $stamp = (string) ($_SESSION['vm_stamp'] ?? '');
    if ($s['type'] === 'hardcoded') {
        $valid = hash_equals((string) $s['login'], $login)
            && hash_equals(vm_security_stamp((string) $s['password_hash']), $stamp);
    } else {
        $row = vm_user_row($login);
        $valid = $row !== null && $row['active'] && hash_equals(vm_security_stamp($row['password']), $stamp);
        if ($valid) {
            $_SESSION['vm_level'] = $row['level'];
            $_SESSION['vm_user_id'] = $s['userid_field'] === '' ? $login : $row['id'];
        }
    }
    if (!$valid) {
        foreach (['vm_user', 'vm_level', 'vm_user_id', 'vm_stamp'] as $k) {
            unset($_SESSION[$k]);
        }
        session_regenerate_id(true);
        vm_csrf_renew();
    }
}

// ---------------------------------------------------------------- login options

/** Whether LoginOption (a comma-separated list) names $option: username, email, autologin. */
function vm_login_option(string $option): bool
{
    return in_array($option, array_map('trim', explode(',', (string) vm_config()['security']['login_option'])), true);
}

/**
 * The login name a user typed into the login form: with LoginOption "email" an e-mail address
 * of exactly one user stands for that user's name.
 */
function vm_login_name_of(string $typed): string
{
    $s = vm_config()['security'];
    if (!vm_login_option('email') || $s['type'] !== 'table' || $s['email_field'] === '' || !str_contains($typed, '@')) {
        return $typed;
    }
    $names = vm_query_main('SELECT ' . vm_qi_main($s['login_field']) . ' FROM ' . vm_qt_main($s['table'])
        . ' WHERE LOWER(' . vm_qi_main($s['email_field']) . ') = LOWER(?)', [$typed])->fetchAll(PDO::FETCH_COLUMN);
    return count($names) === 1 ? vm_str($names[0]) : $typed;
}

const VM_REMEMBER_COOKIE = 'vm_remember';
const VM_REMEMBER_SECONDS = 30 * 86400;

/** What a remembered login is bound to: a changed password or a deactivated account voids it. */
function vm_remember_bind(string $login): ?string
{
    $s = vm_config()['security'];
    if ($s['type'] === 'hardcoded') {
        return hash_equals((string) $s['login'], $login) ? vm_security_stamp((string) $s['password_hash']) : null;
    }
    $row = vm_user_row($login);
    return $row !== null && $row['active'] ? vm_security_stamp($row['password']) : null;
}

/** Sets (or, with '', removes) the cookie that keeps a user logged in (LoginOption "autologin"). */
function vm_remember_login(string $login): void
{
    $value = $login === '' ? '' : vm_token_make('remember', $login, (string) vm_remember_bind($login), VM_REMEMBER_SECONDS);
    setcookie(VM_REMEMBER_COOKIE, $value, ['expires' => $login === '' ? time() - 3600 : time() + VM_REMEMBER_SECONDS,
        'path' => session_get_cookie_params()['path'], 'secure' => vm_request_https(), 'httponly' => true,
        'samesite' => 'Lax']);
}

/** Logs in the user of a genuine remembered-login cookie; a void cookie is removed. */
function vm_remembered_login(): void
{
    $cookie = $_COOKIE[VM_REMEMBER_COOKIE] ?? null;
    if (!is_string($cookie) || $cookie === '') {
        return;
    }
    $token = vm_login_option('autologin') ? vm_token_read($cookie, 'remember', 'vm_remember_bind') : null;
    if ($token === null) {
        vm_remember_login('');
        return;
    }
    vm_login($token['u']);
    require_once VM_LIB_DIR . '/audit.php';
    vm_audit_login('autologin', $token['u']);
}

// ---------------------------------------------------------------- user profiles

/** The user's profile (SecUserProfileFld): a JSON object in the user table, [] without one. */
function vm_profile(string $login): array
{
    $s = vm_config()['security'];
    if ($s['type'] !== 'table' || $s['profile_field'] === '' || $login === '') {
        return [];
    }
    $text = vm_query_main('SELECT ' . vm_qi_main($s['profile_field']) . ' FROM ' . vm_qt_main($s['table'])
        . ' WHERE ' . vm_qi_main($s['login_field']) . ' = ?', [$login])->fetchColumn();
    $profile = is_string($text) ? json_decode($text, true) : null;
    return is_array($profile) ? $profile : [];
}

/** Merges $changes into the user's profile; other keys (the user's own) stay. */
function vm_profile_update(string $login, array $changes): void
{
    $s = vm_config()['security'];
    if ($s['type'] !== 'table' || $s['profile_field'] === '' || $login === '') {
        return;
    }
    $profile = array_replace(vm_profile($login), $changes);
    vm_query_main('UPDATE ' . vm_qt_main($s['table']) . ' SET ' . vm_qi_main($s['profile_field']) . ' = ? WHERE '
        . vm_qi_main($s['login_field']) . ' = ?', [json_encode($profile, JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE), $login]);
}

// ---------------------------------------------------------------- users below a user

/**
 * The user ids whose rows the current user keeps: their own and, with a parent user id column
 * (SecuParentUserIDFld), those of every user below them. A cycle in that column ends the walk.
 */
function vm_owned_user_ids(): array
{
    static $cache = [];
    $me = vm_user_id();
    if ($me === '' || isset($cache[$me])) {
        return $me === '' ? [] : $cache[$me];
    }
    $s = vm_config()['security'];
    $ids = [$me];
    $frontier = [$me];
    $parentOn = $s['type'] === 'table' && $s['parent_field'] !== '' && $s['userid_field'] !== '';
    while ($parentOn && $frontier !== [] && count($ids) < 10000) {
        $next = [];
        foreach (array_chunk($frontier, 500) as $chunk) {
            $children = vm_query_main('SELECT ' . vm_qi_main($s['userid_field']) . ' FROM ' . vm_qt_main($s['table'])
                . ' WHERE ' . vm_qi_main($s['parent_field']) . ' IN (' . implode(', ', array_fill(0, count($chunk), '?'))
                . ')', $chunk)->fetchAll(PDO::FETCH_COLUMN);
            foreach ($children as $child) {
                $child = vm_str($child);
                if ($child !== '' && !in_array($child, $ids, true)) {
                    $ids[] = $child;
                    $next[] = $child;
                }
            }
        }
        $frontier = $next;
    }
    return $cache[$me] = $ids;
}

// ---------------------------------------------------------------- failed logins

/** Failed logins per login name within VM_LOGIN_WINDOW seconds before the name is held back. */
const VM_LOGIN_MAX_FAILURES = 5;
/** The same per client address, for guesses spread over many names. */
const VM_LOGIN_MAX_ADDRESS_FAILURES = 20;
const VM_LOGIN_WINDOW = 900;
/** The first wait once a limit is reached, doubled by every further failure. */
const VM_LOGIN_FIRST_DELAY = 30;
/** The most names and addresses kept, the least recently failed dropped first. */
const VM_LOGIN_KEPT = 5000;

/** The file failed logins are counted in, shared by all sessions. */
function vm_login_file(): string
{
    return VM_APP_DIR . '/data/logins.json';
}

/** The counters' keys of a login attempt: its name (without case) and its client address. */
function vm_login_keys(string $login): array
{
    return ['n:' . mb_strtolower($login, 'UTF-8') => VM_LOGIN_MAX_FAILURES,
        'a:' . vm_client_address() => VM_LOGIN_MAX_ADDRESS_FAILURES];
}

/**
 * Reads the failures (key => times within the window) and, with $change, writes back what it
 * returns, under a lock. A store that cannot be opened is logged and counts nothing.
 */
function vm_login_store(?callable $change = null): array
{
    $file = vm_login_file();
    $h = @fopen($file, 'c+');
    if ($h === false) {
        error_log('velmora error: cannot open ' . $file . ' to count failed logins');
        return [];
    }
    try {
        flock($h, $change === null ? LOCK_SH : LOCK_EX);
        $data = json_decode((string) stream_get_contents($h), true);
        $since = time() - VM_LOGIN_WINDOW;
        $kept = [];
        foreach (is_array($data) ? $data : [] as $key => $times) {
            $times = array_values(array_filter(is_array($times) ? $times : [], static fn($t) => is_int($t) && $t > $since));
            if ($times !== []) {
                $kept[(string) $key] = $times;
            }
        }
        if ($change !== null) {
            $kept = $change($kept);
            if (count($kept) > VM_LOGIN_KEPT) {
                uasort($kept, static fn($a, $b) => max($b) <=> max($a));
                $kept = array_slice($kept, 0, VM_LOGIN_KEPT, true);
            }
            ftruncate($h, 0);
            rewind($h);
            fwrite($h, json_encode($kept));
            fflush($h);
        }
        return $kept;
    } finally {
        flock($h, LOCK_UN);
        fclose($h);
    }
}

/**
 * Seconds until a login with this name from this address may be tried again, 0 when it may now:
 * once the name or the address has its limit of failures, it waits VM_LOGIN_FIRST_DELAY seconds
 * after the last one, twice as long after each further failure, at most the window.
 */
function vm_login_wait(string $login): int
{
    $failures = vm_login_store();
    $wait = 0;
    foreach (vm_login_keys($login) as $key => $max) {
        $times = $failures[$key] ?? [];
        if (count($times) >= $max) {
            $delay = min(VM_LOGIN_WINDOW, VM_LOGIN_FIRST_DELAY * 2 ** min(10, count($times) - $max));
            $wait = max($wait, max($times) + $delay - time());
        }
    }
    return max(0, $wait);
}

function vm_login_failed(string $login): void
{
    vm_login_store(static function (array $failures) use ($login): array {
        foreach (array_keys(vm_login_keys($login)) as $key) {
            $failures[$key][] = time();
        }
        return $failures;
    });
}

/** A successful login clears the failures of its name (those of the address stay). */
function vm_login_succeeded(string $login): void
{
    vm_login_store(static function (array $failures) use ($login): array {
        unset($failures[array_key_first(vm_login_keys($login))]);
        return $failures;
    });
}

// ---------------------------------------------------------------- login and logout

/** Starts the user's session under a new id. */
function vm_login(string $login): void
{
    session_regenerate_id(true);
    $s = vm_config()['security'];
    $_SESSION['vm_user'] = $login;
    if ($s['type'] === 'hardcoded') {
        $_SESSION['vm_stamp'] = vm_security_stamp((string) $s['password_hash']);
    } else {
        $row = vm_user_row($login) ?? ['password' => '', 'level' => 0, 'id' => ''];
        $_SESSION['vm_stamp'] = vm_security_stamp($row['password']);
        $_SESSION['vm_level'] = $row['level'];
        // without a user id column the login name is the id record owners are kept by
        $_SESSION['vm_user_id'] = $s['userid_field'] === '' ? $login : $row['id'];
        $profile = vm_profile($login);
        $_SESSION['vm_last_login'] = [(string) ($profile['last_login'] ?? ''), (string) ($profile['last_address'] ?? '')];
        if (is_string($profile['language'] ?? null) && in_array($profile['language'], vm_languages(), true)) {
            $_SESSION['vm_lang'] = $profile['language'];
        }
        vm_profile_update($login, ['last_login' => gmdate('Y-m-d H:i:s') . ' UTC', 'last_address' => vm_client_address()]);
    }
    vm_csrf_renew();
}

/** Ends the session and removes its cookie. */
function vm_logout(): void
{
    if (isset($_COOKIE[VM_REMEMBER_COOKIE])) {
        vm_remember_login('');
    }
    $_SESSION = [];
    $p = session_get_cookie_params();
    setcookie(session_name(), '', [
        'expires' => time() - 3600, 'path' => $p['path'], 'secure' => $p['secure'],
        'httponly' => true, 'samesite' => 'Lax',
    ]);
    session_destroy();
}

// ---------------------------------------------------------------- links sent by e-mail

/** The application's own secret key (data/secret.key), made on first use. */
function vm_secret(): string
{
    static $secret = null;
    if ($secret !== null) {
        return $secret;
    }
    $file = VM_APP_DIR . '/data/secret.key';
    $key = is_file($file) ? (string) file_get_contents($file) : '';
    if (strlen($key) < 32) {
        $key = random_bytes(32);
        // x: a second request making a key at the same moment keeps the first one
        $h = @fopen($file, 'x');
        if ($h === false) {
            $key = (string) @file_get_contents($file);
            if (strlen($key) < 32) {
                throw new RuntimeException('cannot write ' . $file);
            }
        } else {
            fwrite($h, $key);
            fclose($h);
            @chmod($file, 0600);
        }
    }
    return $secret = $key;
}

function vm_base64url(string $bytes): string
{
    return rtrim(strtr(base64_encode($bytes), '+/', '-_'), '=');
}

/**
 * A token for a link sent by e-mail: what it is for, the user, when it expires and a digest of
 * what it may change ($bind: the password for a reset, the address for a new e-mail), so that it
 * works once, signed with the application's secret.
 */
function vm_token_make(string $purpose, string $login, string $bind, int $seconds, array $extra = []): string
{
    $payload = vm_base64url(json_encode(['p' => $purpose, 'u' => $login, 'e' => time() + $seconds,
        'b' => hash('sha256', $bind), 'x' => $extra], JSON_THROW_ON_ERROR));
    return $payload . '.' . vm_base64url(hash_hmac('sha256', $payload, vm_secret(), true));
}

/** The token's contents ('u' user, 'x' extra) when it is genuine, for $purpose, not expired and still bound to $bind. */
function vm_token_read(string $token, string $purpose, callable $bind): ?array
{
    if (!preg_match('/^([A-Za-z0-9_-]{10,2000})\.([A-Za-z0-9_-]{43})$/D', $token, $m)
        || !hash_equals(vm_base64url(hash_hmac('sha256', $m[1], vm_secret(), true)), $m[2])) {
        return null;
    }
    $data = json_decode((string) base64_decode(strtr($m[1], '-_', '+/'), true), true);
    if (!is_array($data) || ($data['p'] ?? '') !== $purpose || !is_int($data['e'] ?? null) || $data['e'] < time()
        || !is_string($data['u'] ?? null) || !is_string($data['b'] ?? null)) {
        return null;
    }
    $current = $bind($data['u']);
    if ($current === null || !hash_equals($data['b'], hash('sha256', $current))) {
        return null;
    }
    return ['u' => $data['u'], 'x' => is_array($data['x'] ?? null) ? $data['x'] : []];
}

/**
 * The absolute URL of a page of this application, for a link in an e-mail: under the server's
 * environment variable VELMORA_BASE_URL when set, else under the server's own name and port (or
 * the host a trusted proxy forwards), never the Host header a client sends: a reset link must not
 * point to another site.
 */
function vm_absolute_url(string $relative): string
{
    $base = getenv('VELMORA_BASE_URL');
    if (is_string($base) && preg_match('#^https?://[^\s/]+(/[^\s]*)?$#D', $base)) {
        return rtrim($base, '/') . '/' . $relative;
    }
    $https = vm_request_https();
    $forwarded = trim(explode(',', (string) ($_SERVER['HTTP_X_FORWARDED_HOST'] ?? ''))[0]);
    if (vm_trusted_proxy() && preg_match('/^[A-Za-z0-9.-]+(:\d{1,5})?$/D', $forwarded)) {
        $host = $forwarded;
    } else {
        $host = (string) ($_SERVER['SERVER_NAME'] ?? 'localhost');
        $host = str_contains($host, ':') && !str_starts_with($host, '[') ? '[' . $host . ']' : $host;
        $port = (int) ($_SERVER['SERVER_PORT'] ?? 0);
        $host .= $port > 0 && $port !== ($https ? 443 : 80) ? ':' . $port : '';
    }
    $dir = rtrim(str_replace('\\', '/', dirname((string) ($_SERVER['SCRIPT_NAME'] ?? '/'))), '/');
    return ($https ? 'https' : 'http') . '://' . $host . $dir . '/' . $relative;
}

// ---------------------------------------------------------------- captcha

function vm_captcha_on(string $page): bool
{
    return (bool) (vm_config()['security']['captcha'][$page] ?? false);
}

/** The captcha image and its input. A page with a captcha needs the library: without it, it says so. */
function vm_captcha_field(): string
{
    vm_captcha_library();
    return '<div class="vm-field"><label for="captcha">' . vm_ph('Captcha') . '</label><div class="vm-control">'
        . '<img class="vm-captcha" src="captcha.php?' . bin2hex(random_bytes(4)) . '" alt="' . vm_ph('CaptchaImage') . '"> '
        . '<input type="text" id="captcha" name="captcha" autocomplete="off" required></div></div>';
}

/** Loads the captcha library (which draws with GD); without either, the page says what to install. */
function vm_captcha_library(): void
{
    require_once VM_LIB_DIR . '/libraries.php';
    foreach (['gd', 'captcha'] as $name) {
        if (!vm_library($name)) {
            vm_library_missing_page($name);
        }
    }
}

/** True when the posted captcha matches the image; the image's text is good for one try only. */
function vm_captcha_ok(): bool
{
    $expected = $_SESSION['vm_captcha'] ?? '';
    unset($_SESSION['vm_captcha']);
    $sent = strtolower(trim(vm_post('captcha')));
    return is_string($expected) && $expected !== '' && $sent !== '' && hash_equals(strtolower($expected), $sent);
}
