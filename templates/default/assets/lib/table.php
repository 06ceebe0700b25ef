<?php
declare(strict_types=1);

/** Table descriptions (tables/<var>.php), record keys and lookups. */

const VM_FIELD_DEFAULTS = [
    'caption' => '', 'type' => 'string', 'autoinc' => false, 'size' => 0, 'required' => false,
    'tag' => 'TEXT', 'values' => [], 'lookup' => null, 'list' => true, 'view' => true,
    'add' => true, 'edit' => true, 'search' => false, 'export' => true, 'default' => null, 'validate' => '',
    'align' => '', 'format' => '', 'date_format' => '', 'upload' => false, 'expr' => '', 'db_default' => false,
    'nullable' => null, 'precision' => null, 'scale' => null, 'form' => [],
];

/** A field's form settings (its 'form' entry) when the description leaves them out. */
const VM_FIELD_FORM_DEFAULTS = [
    'min' => '', 'max' => '', 'range' => false, 'pattern' => '', 'message' => '', 'unique' => false,
    'input_size' => 0, 'cols' => 0, 'rows' => 0, 'select_size' => 0, 'calendar' => false, 'readonly' => false,
    'crlf' => false, 'page' => 1, 'multiple' => false, 'allow_add' => false, 'distinct' => false, 'parents' => [],
    'fill' => null, 'auto' => '', 'html' => false, 'multi_upload' => false, 'max_files' => 0, 'resize' => null,
];

/** The description of the table with this var, every key present; 404 for an unknown var. */
function vm_table(string $var): array
{
    static $cache = [];
    if (isset($cache[$var])) {
        return $cache[$var];
    }
    if (!preg_match('/^[A-Za-z0-9_]+$/D', $var)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $file = VM_APP_DIR . '/tables/' . $var . '.php';
    if (!is_file($file)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $t = require $file;
    if (!is_array($t)) {
        throw new RuntimeException('tables/' . $var . '.php does not return an array');
    }
    $t = array_replace([
        'name' => $var, 'var' => $var, 'caption' => $var, 'type' => 'TABLE', 'key' => [],
        'rec_per_page' => 0, 'pages' => [], 'concurrency' => false, 'default_order' => '',
        'fields' => [], 'details' => [], 'masters' => [], 'scripts' => [], 'db' => '', 'sql' => '', 'charts' => [],
        'permissions' => [], 'audit' => false, 'form' => [],
    ], $t);
    $t['form'] = array_replace_recursive(['multi_page' => ['add' => false, 'edit' => false, 'view' => false],
        'page_type' => 'tabs', 'confirm' => ['add' => false, 'edit' => false], 'return' => ['add' => '', 'edit' => '']],
        is_array($t['form']) ? $t['form'] : []);
    $t['permissions'] = array_replace(['levels' => true, 'default' => [], 'anonymous' => 0, 'owner' => '',
        'owner_allow' => 0], is_array($t['permissions']) ? $t['permissions'] : []);
    $t['var'] = $var;
    $fields = [];
    foreach ((array) $t['fields'] as $col => $f) {
        $f = array_replace(VM_FIELD_DEFAULTS, is_array($f) ? $f : []);
        $f['name'] = (string) $col;
        if ($f['caption'] === '') {
            $f['caption'] = (string) $col;
        }
        $f['tag'] = strtoupper((string) $f['tag']);
        $f['type'] = strtolower((string) $f['type']);
        $f['values'] = is_array($f['values']) ? $f['values'] : [];
        $f['nullable'] = $f['nullable'] === null ? !$f['required'] : (bool) $f['nullable'];
        $f['form'] = array_replace(VM_FIELD_FORM_DEFAULTS, is_array($f['form']) ? $f['form'] : []);
        if (is_array($f['lookup'])) {
            $f['lookup'] = array_replace(['table' => '', 'key' => '', 'display' => [], 'order' => '',
                'filter' => ''], $f['lookup']);
            $f['lookup']['display'] = (array) $f['lookup']['display'];
            if ($f['lookup']['table'] === '' || $f['lookup']['key'] === '' || $f['lookup']['display'] === []) {
                $f['lookup'] = null;
            }
        } else {
            $f['lookup'] = null;
        }
        $fields[(string) $col] = $f;
    }
    $t['fields'] = $fields;
    $t['key'] = array_values(array_filter((array) $t['key'], static fn($k) => isset($fields[$k])));
    $t['details'] = is_array($t['details']) ? $t['details'] : [];
    $t['masters'] = is_array($t['masters']) ? $t['masters'] : [];
    $t['charts'] = is_array($t['charts']) ? $t['charts'] : [];
    return $cache[$var] = $t;
}

/**
 * The description of a table named in a master/detail link: its var (file name in tables/),
 * or else its SQL name. Null when there is none.
 */
function vm_table_ref(string $ref): ?array
{
    if ($ref === '') {
        return null;
    }
    if (preg_match('/^[A-Za-z0-9_]+$/D', $ref) && is_file(VM_APP_DIR . '/tables/' . $ref . '.php')) {
        return vm_table($ref);
    }
    foreach (glob(VM_APP_DIR . '/tables/*.php') ?: [] as $file) {
        $var = basename($file, '.php');
        if (!preg_match('/^[A-Za-z0-9_]+$/D', $var)) {
            continue;
        }
        $t = vm_table($var);
        if ($t['name'] === $ref) {
            return $t;
        }
    }
    return null;
}

/**
 * True when the table has this page (view, edit, delete and copy need a key) and the user's
 * level allows it.
 */
function vm_has_page(array $t, string $page): bool
{
    return vm_page_exists($t, $page) && vm_page_permitted($t, $page);
}

/** True when the table has this page, whoever asks. */
function vm_page_exists(array $t, string $page): bool
{
    $on = (bool) ($t['pages'][$page] ?? true);
    if (in_array($page, ['view', 'edit', 'delete', 'copy'], true) && $t['key'] === []) {
        return false;
    }
    if ($page === 'copy') {
        return $on && vm_page_exists($t, 'add');
    }
    return $on;
}

/** 404 for a page the table does not have, 403 (or the login page) for one the user may not open. */
function vm_require_page(array $t, string $page): void
{
    if (!vm_page_exists($t, $page)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    if (!vm_page_permitted($t, $page)) {
        vm_refuse_page();
    }
}

/** The page file of a table: <var><page>.php */
function vm_page_file(array $t, string $page): string
{
    return $t['var'] . $page . '.php';
}

/**
 * The most characters the field's column takes, 0 for no limit. The size of a column of another
 * type is a storage size or display width (4 for a PostgreSQL date, 10 for a MySQL int), not a
 * length.
 */
function vm_max_length(array $f): int
{
    return in_array($f['type'], ['string', 'text'], true) ? max(0, (int) $f['size']) : 0;
}

/**
 * What the table's rows are read from: the table itself, a custom view's statement, and either
 * with the table's computed fields added as columns, so that lists, searches and sorting treat
 * them as any other column.
 */
function vm_from(array $t): string
{
    $source = $t['sql'] !== '' ? '(' . $t['sql'] . ') ' . vm_qi('vm_view') : vm_qt($t['name']);
    $computed = [];
    foreach ($t['fields'] as $col => $f) {
        if ($f['expr'] !== '') {
            $computed[] = '(' . $f['expr'] . ') AS ' . vm_qi((string) $col);
        }
    }
    if ($computed === []) {
        return $source;
    }
    $all = $t['sql'] !== '' ? vm_qi('vm_view') . '.*' : vm_qt($t['name']) . '.*';
    return '(SELECT ' . $all . ', ' . implode(', ', $computed) . ' FROM ' . $source . ') ' . vm_qi('vm_rows');
}

/** The column list of the described fields, quoted; binary columns as vm_sql_blob_summary reads them. */
function vm_select_columns(array $t): string
{
    $cols = [];
    foreach ($t['fields'] as $col => $f) {
        $q = vm_qi((string) $col);
        $cols[] = vm_is_blob_field($f) ? vm_sql_blob_summary($q) . ' AS ' . $q : $q;
    }
    return implode(', ', $cols);
}

/**
 * Precision and scale of the table's decimal columns, column => [precision, scale]: from the
 * field's 'scale' (and 'precision', else 'size') when the description has it, else from the
 * database's catalogue, read once per request. Columns without limits are absent.
 */
function vm_decimal_limits(array $t): array
{
    static $cache = [];
    $id = vm_connection() . "\0" . $t['name'];
    if (isset($cache[$id])) {
        return $cache[$id];
    }
    $out = [];
    $ask = [];
    foreach ($t['fields'] as $col => $f) {
        if ($f['type'] !== 'decimal' || $f['expr'] !== '') {
            continue;
        }
        if ($f['scale'] !== null) {
            $out[$col] = [(int) ($f['precision'] ?? $f['size']), (int) $f['scale']];
        } else {
            $ask[$col] = true;
        }
    }
    if ($ask !== [] && $t['sql'] === '') {
        try {
            $out += array_intersect_key(vm_catalogue_decimals($t['name']), $ask);
        } catch (PDOException $e) {
            error_log('velmora notice: no decimal limits for ' . $t['name'] . ': ' . $e->getMessage());
        }
    }
    return $cache[$id] = $out;
}

/**
 * The record key from the query string: key[<column>]=<value> for every key column.
 * 404 (NoRecord) when a key column is missing.
 */
function vm_request_key(array $t): array
{
    $k = $_GET['key'] ?? null;
    if (!is_array($k) || $t['key'] === []) {
        throw new VmHttpError(404, 'NoRecord');
    }
    $out = [];
    foreach ($t['key'] as $col) {
        $v = $k[$col] ?? null;
        if (!is_string($v) || !vm_value_fits($t['fields'][$col], $v)) {
            throw new VmHttpError(404, 'NoRecord');
        }
        $out[$col] = $v;
    }
    return $out;
}

/** The key of a row, column => value. */
function vm_row_key(array $t, array $row): array
{
    $out = [];
    foreach ($t['key'] as $col) {
        $out[$col] = vm_str($row[$col] ?? null);
    }
    return $out;
}

/** True when every key column of the row has a value. */
function vm_row_has_key(array $t, array $row): bool
{
    if ($t['key'] === []) {
        return false;
    }
    foreach ($t['key'] as $col) {
        if (vm_str($row[$col] ?? null) === '') {
            return false;
        }
    }
    return true;
}

/** URL of a page of the table for one record. */
function vm_record_url(array $t, string $page, array $key, array $extra = []): string
{
    return vm_url(vm_page_file($t, $page), $extra + ['key' => $key]);
}

/** WHERE clause and values selecting one record by key. */
function vm_key_where(array $t, array $key): array
{
    $parts = [];
    $params = [];
    foreach ($t['key'] as $col) {
        $parts[] = vm_qi($col) . ' = ?';
        $params[] = $key[$col];
    }
    return [implode(' AND ', $parts), $params];
}

/**
 * True when the text can be compared with a column of the field's type, so that a query
 * given a malformed key or link value finds nothing instead of failing (PostgreSQL refuses
 * to compare an integer column with 'abc').
 */
function vm_value_fits(array $f, string $v): bool
{
    if ($v === '' || !preg_match('//u', $v)) {
        return false;
    }
    return match ($f['type']) {
        'int' => (bool) preg_match('/^[+-]?\d{1,18}$/D', $v),
        'float', 'decimal' => is_numeric($v) && !preg_match('/^\s|\s$/', $v),
        'bool' => in_array(strtolower($v), ['0', '1', 'true', 'false', 't', 'f'], true),
        'date' => (bool) preg_match('/^\d{4}-\d{2}-\d{2}$/D', $v),
        'datetime' => (bool) preg_match('/^\d{4}-\d{2}-\d{2}([ T]\d{2}:\d{2}(:\d{2}(\.\d+)?)?)?$/D', $v),
        'time' => (bool) preg_match('/^\d{2}:\d{2}(:\d{2}(\.\d+)?)?$/D', $v),
        'guid' => (bool) preg_match('/^\{?[0-9A-Fa-f]{8}-?([0-9A-Fa-f]{4}-?){3}[0-9A-Fa-f]{12}\}?$/D', $v),
        default => true,
    };
}

/** The record with this key, or null; on a page of the table, null too for a row not the user's. */
function vm_fetch_row(array $t, array $key): ?array
{
    [$where, $params] = vm_key_where($t, $key);
    [$var, $permission] = vm_page_context();
    $owner = $var === $t['var'] ? vm_owner_filter($t, $permission) : null;
    if ($owner !== null) {
        $where .= ' AND ' . $owner[0];
        $params = array_merge($params, $owner[1]);
    }
    try {
        $row = vm_query('SELECT ' . vm_select_columns($t) . ' FROM ' . vm_from($t)
            . ' WHERE ' . $where, $params)->fetch();
    } catch (PDOException $e) {
        if (vm_sql_state($e) !== '22') {
            throw $e;
        }
        return null;   // a key value the column cannot hold (out of range): no such record
    }
    return is_array($row) ? $row : null;
}

/** ORDER BY items of a lookup: its 'order' (column names, each with an optional direction). */
function vm_lookup_order(array $lk): string
{
    $items = [];
    foreach (explode(',', (string) $lk['order']) as $part) {
        if (preg_match('/^\s*(.+?)(?:\s+(ASC|DESC))?\s*$/iD', $part, $m) && trim($m[1]) !== '') {
            $items[] = vm_qi(trim($m[1])) . (isset($m[2]) ? ' ' . strtoupper($m[2]) : '');
        }
    }
    if ($items === []) {
        $items = array_map('vm_qi', $lk['display']);
    }
    return implode(', ', $items);
}

/** The label of a lookup row: its display columns joined with ", ". */
function vm_lookup_label(array $lk, array $row): string
{
    $parts = [];
    foreach ($lk['display'] as $i => $col) {
        $v = vm_str($row['d' . $i] ?? null);
        if ($v !== '') {
            $parts[] = $v;
        }
    }
    return implode(', ', $parts);
}

function vm_lookup_select(array $lk, bool $distinct = false): string
{
    $cols = [vm_qi($lk['key']) . ' AS k'];
    foreach ($lk['display'] as $i => $col) {
        $cols[] = vm_qi($col) . ' AS d' . $i;
    }
    return 'SELECT ' . ($distinct ? 'DISTINCT ' : '') . implode(', ', $cols) . ' FROM ' . vm_qt($lk['table']);
}

/**
 * Every option of a lookup field: [[value, label], ...], filtered and ordered. $parents (lookup
 * column => value, bound) keeps the options of a cascading list that belong to its parents' values.
 */
function vm_lookup_options(array $f, ?array $parents = null): array
{
    static $cache = [];
    $lk = $f['lookup'];
    $distinct = !empty($f['form']['distinct']);
    $id = serialize([$lk, $parents, $distinct]);
    if (isset($cache[$id])) {
        return $cache[$id];
    }
    $sql = vm_lookup_select($lk, $distinct);
    $where = [];
    $params = [];
    if (trim((string) $lk['filter']) !== '') {
        $where[] = '(' . $lk['filter'] . ')';   // written by the project's author
    }
    foreach ($parents ?? [] as $col => $v) {
        $where[] = vm_qi((string) $col) . ' = ?';
        $params[] = $v;
    }
    if ($where !== []) {
        $sql .= ' WHERE ' . implode(' AND ', $where);
    }
    $sql .= ' ORDER BY ' . vm_lookup_order($lk);
    $out = [];
    foreach (vm_query($sql, $params)->fetchAll() as $row) {
        $out[] = [vm_str($row['k']), vm_lookup_label($lk, $row)];
    }
    return $cache[$id] = $out;
}

/** Labels of the given lookup values, value => label, in one query. */
function vm_lookup_labels(array $f, array $values): array
{
    $values = array_map('vm_str', $values);
    if (vm_is_multi_choice($f)) {
        $values = $values === [] ? [] : explode(',', implode(',', $values));   // comma lists of choices
    }
    $values = array_values(array_unique(array_filter($values, static fn($v) => $v !== '')));
    if ($values === []) {
        return [];
    }
    $lk = $f['lookup'];
    $out = [];
    foreach (array_chunk($values, 500) as $chunk) {
        $sql = vm_lookup_select($lk) . ' WHERE ' . vm_qi($lk['key']) . ' IN ('
            . implode(', ', array_fill(0, count($chunk), '?')) . ')';
        foreach (vm_query($sql, $chunk)->fetchAll() as $row) {
            $out[vm_str($row['k'])] = vm_lookup_label($lk, $row);
        }
    }
    return $out;
}

/** Lookup labels for every lookup field of these rows: column => (value => label). */
function vm_rows_lookup_labels(array $t, array $rows, array $columns): array
{
    $out = [];
    foreach ($columns as $col) {
        $f = $t['fields'][$col];
        if ($f['lookup'] !== null) {
            $out[$col] = vm_lookup_labels($f, array_column($rows, $col));
        }
    }
    return $out;
}

/** Columns of the fields with this flag set (list, view, add, edit, search). */
function vm_columns_with(array $t, string $flag): array
{
    return array_keys(array_filter($t['fields'], static fn($f) => !empty($f[$flag])));
}

/**
 * The master of the list given by ?master=<table>&fk_<detail column>=<value>:
 * [master description, link list, detail column => value], or null.
 */
function vm_request_master(array $t): ?array
{
    $ref = vm_get('master');
    if ($ref === '') {
        return null;
    }
    foreach ($t['masters'] as $m) {
        if (!is_array($m) || !isset($m['table'], $m['links']) || !is_array($m['links'])) {
            continue;
        }
        $mt = vm_table_ref((string) $m['table']);
        if ($mt === null || ($mt['var'] !== $ref && $mt['name'] !== $ref)) {
            continue;
        }
        $values = [];
        foreach ($m['links'] as $link) {
            $detail = (string) ($link['detail'] ?? '');
            $v = vm_get('fk_' . $detail);
            if (!isset($t['fields'][$detail]) || $v === '') {
                return null;
            }
            if (!vm_value_fits($t['fields'][$detail], $v)) {
                throw new VmHttpError(404, 'NoRecord');
            }
            $values[$detail] = $v;
        }
        return $values === [] ? null : [$mt, $m['links'], $values];
    }
    return null;
}

/** Query parameters naming a master: master=<var>&fk_<detail>=<value>. */
function vm_master_params(?array $master): array
{
    if ($master === null) {
        return [];
    }
    $p = ['master' => $master[0]['var']];
    foreach ($master[2] as $col => $v) {
        $p['fk_' . $col] = $v;
    }
    return $p;
}

/** The master record's key (for its view page) from the link values, when it is the link. */
function vm_master_key(array $master): ?array
{
    [$mt, $links, $values] = $master;
    $key = [];
    foreach ($links as $link) {
        $key[(string) $link['master']] = $values[(string) $link['detail']];
    }
    foreach ($mt['key'] as $col) {
        if (!isset($key[$col])) {
            return null;
        }
    }
    return array_intersect_key($key, array_flip($mt['key']));
}
