<?php
declare(strict_types=1);

/**
 * User levels: what the current user may do with a table, and which rows of it are theirs.
 *
 * Permissions are bits of an integer, stored so in the permission table of dynamic user levels
 * and in a table's anonymous permissions. Level -2 is nobody logged in, -1 the administrator
 * (everything), 0 the default level; dynamic levels add their own ids.
 */
const VM_PERMISSIONS = ['add' => 1, 'delete' => 2, 'edit' => 4, 'list' => 8, 'view' => 32, 'search' => 64,
    'export' => 128];
const VM_PERMISSIONS_ALL = 1 | 2 | 4 | 8 | 32 | 64 | 128;

/** The permission a page needs: copy is an add, a report a list, every export format an export. */
function vm_page_permission(string $page): ?string
{
    if (isset(VM_PERMISSIONS[$page])) {
        return $page;
    }
    if (str_starts_with($page, 'export')) {
        return 'export';
    }
    return match ($page) {
        'copy' => 'add',
        'report' => 'list',
        default => null,
    };
}

/** The bits of a list of permission names ("list,view,search"); unknown names count for nothing. */
function vm_permission_bits(array|string $names): int
{
    $bits = 0;
    foreach (is_array($names) ? $names : explode(',', $names) as $name) {
        $bits |= VM_PERMISSIONS[strtolower(trim((string) $name))] ?? 0;
    }
    return $bits;
}

/** True when the project gives its users levels: a level column in the user table, or dynamic levels. */
function vm_user_levels_on(): bool
{
    $s = vm_config()['security'];
    return $s['type'] === 'table' && ($s['level_field'] !== '' || vm_dynamic_levels() !== null);
}

/** The tables of dynamic user levels, or null when levels are static. */
function vm_dynamic_levels(): ?array
{
    $d = vm_config()['security']['dynamic'] ?? null;
    if (!is_array($d) || ($d['priv_table'] ?? '') === '') {
        return null;
    }
    return array_replace(['level_table' => '', 'level_id' => '', 'level_name' => '', 'priv_table' => '',
        'priv_table_name' => '', 'priv_level' => '', 'priv_value' => ''], $d);
}

/** Tables only the administrator may open: those that hold the levels, permissions and audit trail. */
function vm_admin_table(array $t): bool
{
    $d = vm_dynamic_levels();
    $names = [$d['level_table'] ?? '', $d['priv_table'] ?? '', (string) (vm_config()['audit']['table'] ?? '')];
    return $t['db'] === '' && in_array($t['name'], array_filter($names), true);
}

/** The permissions of dynamic level $level by table name, read once per request. */
function vm_level_permissions(int $level): array
{
    static $cache = [];
    if (isset($cache[$level])) {
        return $cache[$level];
    }
    $d = vm_dynamic_levels();
    $out = [];
    $rows = vm_query_main('SELECT ' . vm_qi_main($d['priv_table_name']) . ' AS t, ' . vm_qi_main($d['priv_value'])
        . ' AS p FROM ' . vm_qt_main($d['priv_table']) . ' WHERE ' . vm_qi_main($d['priv_level']) . ' = ?', [$level])->fetchAll();
    foreach ($rows as $row) {
        $out[vm_str($row['t'])] = (int) vm_str($row['p']);
    }
    return $cache[$level] = $out;
}

/** The permission bits of the current user on a table. */
function vm_permissions(array $t): int
{
    $level = vm_user_level();
    if ($level === -1) {
        return VM_PERMISSIONS_ALL;
    }
    if (vm_admin_table($t)) {
        return 0;
    }
    $p = $t['permissions'];
    if ($level === -2) {
        return (int) $p['anonymous'];
    }
    if (!$p['levels'] || !vm_user_levels_on()) {
        return VM_PERMISSIONS_ALL;
    }
    if (vm_dynamic_levels() !== null) {
        return vm_level_permissions($level)[$t['name']] ?? 0;
    }
    return vm_permission_bits((array) $p['default']);
}

/** True when the current user may use this page of the table (pages that need no permission: true). */
function vm_page_permitted(array $t, string $page): bool
{
    $permission = vm_page_permission($page);
    return $permission === null || (vm_permissions($t) & VM_PERMISSIONS[$permission]) !== 0;
}

/** Refuses a page the user may not open: nobody logged in goes to the login page first. */
function vm_refuse_page(): never
{
    if (vm_user() === '' && vm_config()['security']['type'] !== 'none') {
        vm_redirect('login.php?return=' . rawurlencode(vm_current_url()), 302);
    }
    throw new VmHttpError(403, 'Forbidden');
}

/** Pages open to nobody logged in, before any table's permissions are asked. */
function vm_anonymous_page(string $page, string $table): bool
{
    if (in_array($page, ['login', 'register', 'forgotpwd', 'captcha', 'index'], true)) {
        return true;
    }
    return $table !== '' && (int) vm_table($table)['permissions']['anonymous'] !== 0;
}

// ---------------------------------------------------------------- record owners

/** The owner column of the table that applies to the current user, '' when rows are not theirs to keep. */
function vm_owner_field(array $t): string
{
    $owner = (string) $t['permissions']['owner'];
    if ($owner === '' || !isset($t['fields'][$owner]) || vm_config()['security']['type'] === 'none' || vm_is_admin()) {
        return '';
    }
    return $owner;
}

/**
 * The condition keeping the rows the user owns, for a permission that the table's
 * TblUserIDAllow does not give over everyone's rows: [sql, params], or null for no condition.
 */
function vm_owner_filter(array $t, string $permission): ?array
{
    $owner = vm_owner_field($t);
    $bit = VM_PERMISSIONS[$permission] ?? 0;
    if ($owner === '' || ((int) $t['permissions']['owner_allow'] & $bit) !== 0) {
        return null;
    }
    $ids = vm_owned_user_ids();
    if ($ids === []) {
        return ['1 = 0', []];
    }
    return [vm_qi($owner) . ' IN (' . implode(', ', array_fill(0, count($ids), '?')) . ')', $ids];
}

/** The table and permission record reads of this page are for (vm_fetch_row applies the owner). */
function vm_page_context(?array $set = null): array
{
    static $context = ['', ''];
    if ($set !== null) {
        $context = $set;
    }
    return $context;
}

/**
 * Columns a user other than the administrator never writes: the record's owner (set to
 * themselves on add), and in the user table its level and activation columns, and on edit its
 * e-mail address when the change e-mail page confirms new addresses (a changed address would
 * receive the account's password reset links).
 */
function vm_protected_columns(array $t, string $mode = 'add'): array
{
    if (vm_is_admin()) {
        return [];
    }
    $cols = [vm_owner_field($t)];
    $s = vm_config()['security'];
    if ($s['type'] === 'table' && $s['table'] === $t['name'] && $t['db'] === '') {
        $cols[] = $s['level_field'];
        $cols[] = $s['activate_field'];
        if ($mode === 'edit' && is_file(VM_APP_DIR . '/changeemail.php')) {
            $cols[] = $s['email_field'];
        }
    }
    return array_values(array_filter($cols));
}

// ---------------------------------------------------------------- menus

/**
 * The menu items the user may open: a table's item when its list (or report) page is allowed,
 * another link for a logged-in user, or for everyone when marked anonymous; then, for the
 * administrator, the pages that manage permissions and read the audit trail.
 */
function vm_menu(): array
{
    $out = [];
    foreach (vm_config()['menu'] as $item) {
        if (!is_array($item) || !isset($item['url'], $item['caption'])) {
            continue;
        }
        $var = (string) ($item['table'] ?? '');
        if ($var !== '') {
            if (!is_file(VM_APP_DIR . '/tables/' . $var . '.php')) {
                continue;
            }
            $t = vm_table($var);
            if (!vm_has_page($t, $t['type'] === 'REPORT' ? 'report' : 'list')) {
                continue;
            }
        } elseif (vm_user() === '' && vm_config()['security']['type'] !== 'none' && empty($item['anonymous'])) {
            continue;
        }
        $out[] = ['caption' => (string) $item['caption'], 'url' => (string) $item['url']];
    }
    if (vm_is_admin() && vm_config()['security']['type'] !== 'none') {
        foreach (['userpriv' => 'Permissions', 'audittrail' => 'AuditTrail'] as $page => $phrase) {
            if (is_file(VM_APP_DIR . '/' . $page . '.php')) {
                $out[] = ['caption' => vm_phrase($phrase), 'url' => $page . '.php'];
            }
        }
    }
    return $out;
}

/** Links of the logged-in user's own account (change password, change e-mail) that the application has. */
function vm_account_links(): array
{
    $out = [];
    foreach (['changepwd' => 'ChangePassword', 'changeemail' => 'ChangeEmail'] as $page => $phrase) {
        if (vm_config()['security']['type'] === 'table' && is_file(VM_APP_DIR . '/' . $page . '.php')) {
            $out[$page . '.php'] = vm_phrase($phrase);
        }
    }
    return $out;
}
