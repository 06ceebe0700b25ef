<?php
declare(strict_types=1);

/**
 * Entry point of every page of a generated application:
 *   require __DIR__ . '/lib/runtime.php'; vm_run('list', 'orders');
 *
 * The application directory is the parent of lib/. It holds config.php, tables/<var>.php,
 * lang/<language>.xml and, for SQLite, db/.
 */

define('VM_STARTED', hrtime(true));
define('VM_STARTED_CPU', vm_cpu_ms());

/** The processor time this process has used, in milliseconds (user and system). */
function vm_cpu_ms(): float
{
    $u = getrusage();
    return ($u['ru_utime.tv_sec'] + $u['ru_stime.tv_sec']) * 1e3 + ($u['ru_utime.tv_usec'] + $u['ru_stime.tv_usec']) / 1e3;
}

define('VM_LIB_DIR', __DIR__);
define('VM_APP_DIR', dirname(__DIR__));

require_once VM_LIB_DIR . '/lang.php';
require_once VM_LIB_DIR . '/request.php';
require_once VM_LIB_DIR . '/db.php';
require_once VM_LIB_DIR . '/table.php';
require_once VM_LIB_DIR . '/html.php';
require_once VM_LIB_DIR . '/format.php';
require_once VM_LIB_DIR . '/csrf.php';
require_once VM_LIB_DIR . '/auth.php';
require_once VM_LIB_DIR . '/permissions.php';
require_once VM_LIB_DIR . '/audit.php';
require_once VM_LIB_DIR . '/upload.php';
require_once VM_LIB_DIR . '/forms.php';
require_once VM_LIB_DIR . '/chart.php';

/** An answer other than the page itself: a status and a phrase id to show. */
final class VmHttpError extends RuntimeException
{
    public function __construct(public readonly int $status, public readonly string $phraseId)
    {
        parent::__construct($phraseId, $status);
    }
}

/** Ends the page early after a redirect or a download; not an error. */
final class VmStop extends RuntimeException
{
}

/** The application configuration (config.php) with every key present. */
function vm_config(): array
{
    static $config = null;
    if ($config === null) {
        $loaded = require VM_APP_DIR . '/config.php';
        if (!is_array($loaded)) {
            throw new RuntimeException('config.php does not return an array');
        }
        $config = array_replace([
            'name' => 'Application',
            'charset' => 'utf-8',
            'rec_per_page' => 20,
            'default_page' => 'index.php',
            'language' => 'english',
            'db' => [],
            'security' => [],
            'menu' => [],
            'upload' => [],
        ], $loaded);
        $config['security'] = array_replace([
            'type' => 'none', 'login' => '', 'password_hash' => '',
            'table' => '', 'login_field' => '', 'password_field' => '', 'email_field' => '',
            'level_field' => '', 'userid_field' => '', 'parent_field' => '', 'profile_field' => '', 'activate_field' => '',
            'md5' => false, 'case_sensitive' => true, 'password_min_length' => 8, 'dynamic' => null,
            'register' => [], 'captcha' => [], 'login_option' => '',
        ], is_array($config['security']) ? $config['security'] : []);
        $config['security']['register'] = array_replace(['confirm' => false, 'email' => false, 'auto_login' => false,
            'return' => '', 'multi_page' => false], (array) $config['security']['register']);
        $config['security']['captcha'] = array_replace(['login' => false, 'register' => false, 'forgotpwd' => false,
            'changepwd' => false], (array) $config['security']['captcha']);
        $config['audit'] = array_replace(['login' => false, 'table' => '', 'file' => ''],
            is_array($config['audit'] ?? null) ? $config['audit'] : []);
        $config['upload'] = array_replace(['extensions' => [], 'max_size' => 2000000],
            is_array($config['upload']) ? $config['upload'] : []);
        if (!is_array($config['menu'])) {
            $config['menu'] = [];
        }
    }
    return $config;
}

function vm_lang(): VmLanguage
{
    global $Language;
    if (!$Language instanceof VmLanguage) {
        $name = (string) vm_config()['language'];
        $chosen = $_SESSION['vm_lang'] ?? '';
        if (is_string($chosen) && in_array($chosen, vm_languages(), true)) {
            $name = $chosen;
        }
        if (!preg_match('/^[A-Za-z0-9_-]+$/', $name)) {
            $name = 'english';
        }
        $Language = new VmLanguage(VM_APP_DIR . '/lang/' . $name . '.xml');
    }
    return $Language;
}

/** The languages a user may choose, by language file name; the first is the default. */
function vm_languages(): array
{
    $languages = vm_config()['languages'] ?? [];
    $list = is_array($languages) ? array_values(array_filter($languages, 'is_string')) : [];
    return $list !== [] ? $list : [(string) vm_config()['language']];
}

/** The phrase with this id (not escaped). */
function vm_phrase(string $id): string
{
    return vm_lang()->Phrase($id);
}

/** The phrase with {name} placeholders filled in (not escaped). */
function vm_phrase_fill(string $id, array $values): string
{
    $pairs = [];
    foreach ($values as $k => $v) {
        $pairs['{' . $k . '}'] = (string) $v;
    }
    return strtr(vm_phrase($id), $pairs);
}

/**
 * Runs one page. $page is list, view, add, copy, edit, delete, export, lookup, index, login or
 * logout; $table the table's var (tables/<var>.php); $field a field of it (lookup pages).
 */
function vm_run(string $page, string $table = '', string $field = ''): void
{
    vm_output_base(ob_get_level());
    ob_start();
    try {
        vm_boot();
        if (!in_array(vm_method(), ['GET', 'HEAD', 'POST'], true)) {
            header('Allow: GET, HEAD, POST');
            throw new VmHttpError(405, 'MethodNotAllowed');
        }
        if (!vm_logged_in() && !vm_anonymous_page($page, $table)) {
            vm_redirect('login.php?return=' . rawurlencode(vm_current_url()), 302);
        }
        if (vm_method() === 'POST' && !vm_csrf_valid()) {
            throw new VmHttpError(400, 'BadCsrf');
        }
        if (function_exists('page_load')) {
            page_load();
        }
        vm_dispatch($page, $table, $field);
    } catch (VmStop) {
        // redirect or download already written
    } catch (VmHttpError $e) {
        vm_discard_output();
        vm_message_page($e->status, $e->phraseId);
    } catch (Throwable $e) {
        error_log('velmora error: ' . get_class($e) . ': ' . $e->getMessage() . ' in '
            . $e->getFile() . ':' . $e->getLine());
        vm_discard_output();
        vm_message_page(500, 'ServerError');
    }
    // with VELMORA_SERVER_TIMING set in the server's environment, each answer tells how long the
    // page took and its peak memory (for measuring, not for production)
    if (getenv('VELMORA_SERVER_TIMING') && !headers_sent()) {
        $db = vm_db_time();
        header(sprintf('Server-Timing: app;dur=%.2f, cpu;dur=%.2f, connect;dur=%.2f, query;dur=%.2f, '
            . 'mem;desc="peak bytes";dur=%d', (hrtime(true) - VM_STARTED) / 1e6, vm_cpu_ms() - VM_STARTED_CPU,
            $db['connect'], $db['query'], memory_get_peak_usage()));
    }
    while (ob_get_level() > vm_output_base()) {
        ob_end_flush();
    }
}

/** The output buffering level outside the page's own buffer. */
function vm_output_base(?int $set = null): int
{
    static $base = 0;
    if ($set !== null) {
        $base = $set;
    }
    return $base;
}

function vm_dispatch(string $page, string $table, string $field): void
{
    $pages = [
        'list' => 'list', 'view' => 'view', 'add' => 'edit', 'copy' => 'edit', 'edit' => 'edit',
        'delete' => 'delete', 'export' => 'export', 'lookup' => 'lookup', 'index' => 'index',
        'login' => 'login', 'logout' => 'login', 'report' => 'report', 'register' => 'account',
        'forgotpwd' => 'account', 'changepwd' => 'account', 'changeemail' => 'account', 'captcha' => 'account',
        'userpriv' => 'userpriv', 'audittrail' => 'audittrail',
    ];
    if (!isset($pages[$page])) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    require_once VM_LIB_DIR . '/pages/' . $pages[$page] . '.php';
    if ($table === '' && !in_array($page, ['list', 'view', 'add', 'copy', 'edit', 'delete', 'export', 'lookup', 'report'], true)) {
        ('vm_page_' . $page)();
        return;
    }
    $t = vm_table($table);
    vm_connection((string) $t['db']);
    // a record read on this page must be one the user may use so (record owners)
    vm_page_context([$t['var'], in_array($page, ['add', 'copy'], true) ? 'view'
        : (vm_page_permission($page) ?? 'list')]);
    if (vm_get('export') !== '' && vm_page_exists($t, $page) && !vm_page_permitted($t, 'export')) {
        vm_refuse_page();
    }
    if ($page === 'lookup' && (vm_permissions($t) & (VM_PERMISSIONS['add'] | VM_PERMISSIONS['edit']
        | VM_PERMISSIONS['list'] | VM_PERMISSIONS['search'])) === 0) {
        vm_refuse_page();
    }
    switch ($page) {
        case 'list':
            vm_require_page($t, 'list');
            if (vm_get('export') !== '') {
                require_once VM_LIB_DIR . '/pages/export.php';
                vm_page_export($t);
            } else {
                vm_page_list($t);
            }
            break;
        case 'export':
            vm_require_page($t, 'list');
            vm_page_export($t);
            break;
        case 'view':
            vm_require_page($t, 'view');
            if (vm_get('export') !== '') {
                require_once VM_LIB_DIR . '/pages/export.php';
                vm_page_export_record($t);
            } else {
                vm_page_view($t);
            }
            break;
        case 'add':
            vm_require_page($t, 'add');
            if (vm_get('copy') !== '') {
                vm_require_page($t, 'copy');
            }
            vm_page_add($t, vm_get('copy') !== '');
            break;
        case 'copy':
            vm_require_page($t, 'copy');
            vm_page_add($t, true);
            break;
        case 'edit':
            vm_require_page($t, 'edit');
            vm_page_edit($t);
            break;
        case 'delete':
            vm_require_page($t, 'delete');
            vm_page_delete($t);
            break;
        case 'lookup':
            vm_page_lookup($t, $field);
            break;
        case 'report':
            vm_require_page($t, 'report');
            vm_page_report($t);
            break;
    }
}

/** Config, language, session and the headers every page sends. */
function vm_boot(): void
{
    vm_config();
    vm_session_start();
    // A language chosen with ?lang= holds for the rest of the session; only the application's own.
    $lang = $_GET['lang'] ?? null;
    $chosen = is_string($lang) && in_array($lang, vm_languages(), true) && $lang !== ($_SESSION['vm_lang'] ?? null);
    if ($chosen) {
        $_SESSION['vm_lang'] = $lang;
    }
    vm_lang();
    vm_session_check();
    if ($chosen && vm_user() !== '') {
        vm_profile_update(vm_user(), ['language' => $lang]);
    }
    header_remove('X-Powered-By');
    header('Content-Type: text/html; charset=' . vm_charset());
    header('X-Content-Type-Options: nosniff');
    header('Permissions-Policy: camera=(), microphone=(), geolocation=(), payment=(), usb=()');
    header('X-Frame-Options: DENY');
    header('Referrer-Policy: same-origin');
    header("Content-Security-Policy: default-src 'self'; script-src 'self'; style-src 'self'; "
        . "img-src 'self' data:; frame-ancestors 'none'; form-action 'self'; base-uri 'none'");
}

/** Drops what the page has written so far (before an error page or a redirect). */
function vm_discard_output(): void
{
    while (ob_get_level() > vm_output_base() + 1) {
        ob_end_clean();
    }
    if (ob_get_level() === vm_output_base() + 1) {
        ob_clean();
    }
}

/** Ends the page's buffering, for output streamed as it is made (downloads, exports). */
function vm_stream_output(): void
{
    while (ob_get_level() > vm_output_base()) {
        ob_end_clean();
    }
}

/** Sends a redirect to a URL of this application and ends the page. */
function vm_redirect(string $url, int $status = 303): never
{
    vm_discard_output();
    header('Location: ' . $url, true, $status);
    throw new VmStop();
}

/** Flash message shown once on the next page. */
function vm_flash(string $phraseId): void
{
    $_SESSION['vm_flash'] = $phraseId;
}

function vm_take_flash(): string
{
    $id = $_SESSION['vm_flash'] ?? '';
    unset($_SESSION['vm_flash']);
    return is_string($id) ? $id : '';
}

/** Calls a hook function defined by the generated page, when it exists. */
function vm_hook_allows(string $name, mixed &$arg): bool
{
    if (!function_exists($name)) {
        return true;
    }
    return $name($arg) !== false;
}
