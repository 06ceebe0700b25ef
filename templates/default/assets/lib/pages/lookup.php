<?php
declare(strict_types=1);

require_once VM_LIB_DIR . '/pages/edit.php';

/**
 * The options of a lookup field as JSON: [{"value": "1", "label": "Beverages"}, ...].
 * ?q=text keeps the options whose label contains the text; parent[<field>]=value gives a cascading
 * list's options for its parents' values; fill=<value> gives the values an auto-filling lookup
 * copies into the form ({"<target field>": "value", ...}). A POST adds an option to the lookup
 * table (label=..., with the token) when the field allows it and the user may add there.
 */
function vm_page_lookup(array $t, string $col): void
{
    $f = $t['fields'][$col] ?? null;
    if ($f === null || $f['lookup'] === null || !($f['add'] || $f['edit'] || $f['search'] || $f['list'])) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    if (vm_method() === 'POST') {
        vm_json(vm_lookup_add_option($t, $f));
    }
    if (vm_get('fill') !== '') {
        vm_json(vm_lookup_fill($f, vm_get('fill')));
    }
    $options = vm_field_options($f);
    if ($f['form']['parents'] !== []) {
        $parents = $_GET['parent'] ?? [];
        $known = array_map(static fn($p) => (string) $p['field'], $f['form']['parents']);
        if (!is_array($parents) || array_diff(array_keys($parents), $known) !== []
            || array_filter($parents, static fn($v) => !is_string($v)) !== []) {
            throw new VmHttpError(400, 'InvalidValue');   // only the field's own parents, as text
        }
        $options = vm_form_options($f, $parents);
    }
    $q = trim(vm_get('q'));
    $out = [];
    foreach ($options as [$value, $label]) {
        if ($q === '' || stripos($label, $q) !== false) {
            $out[] = ['value' => $value, 'label' => $label];
        }
    }
    vm_json($out);
}

/** Sends a JSON answer and ends the page. */
function vm_json(array $data, int $status = 200): never
{
    vm_stream_output();
    http_response_code($status);
    header('Content-Type: application/json; charset=utf-8');
    header('Cache-Control: no-store');
    echo json_encode($data, JSON_HEX_TAG | JSON_HEX_AMP | JSON_HEX_APOS | JSON_HEX_QUOT
        | JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE | JSON_THROW_ON_ERROR);
    throw new VmStop();
}

/** The lookup table's values an auto-filling lookup copies: target field => value. */
function vm_lookup_fill(array $f, string $value): array
{
    $fill = $f['form']['fill'];
    $lt = vm_table_ref((string) $f['lookup']['table']);
    if ($fill === null || $lt === null) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $pairs = array_slice(array_map(null, (array) $fill['source'], (array) $fill['target']), 0,
        min(count((array) $fill['source']), count((array) $fill['target'])));
    $pairs = array_values(array_filter($pairs, static fn($p) => isset($lt['fields'][(string) $p[0]])));
    $keyField = $lt['fields'][$f['lookup']['key']] ?? null;
    if ($pairs === [] || ($keyField !== null && !vm_value_fits($keyField, $value))) {
        return [];
    }
    $cols = array_map(static fn($i) => vm_qi((string) $pairs[$i][0]) . ' AS s' . $i, array_keys($pairs));
    $row = vm_query('SELECT ' . implode(', ', $cols) . ' FROM ' . vm_qt($lt['name']) . ' WHERE '
        . vm_qi($f['lookup']['key']) . ' = ?', [$value])->fetch();
    $out = [];
    foreach ($pairs as $i => [, $target]) {
        $out[(string) $target] = is_array($row) ? vm_str($row['s' . $i]) : '';
    }
    return $out;
}

/**
 * Adds a row to the lookup table from its first display column's posted label (and the key when
 * the database does not make one): the field must allow it and the user may add to that table.
 * Answers the new option, or the error with status 400 or 403.
 */
function vm_lookup_add_option(array $t, array $f): array
{
    $lt = vm_table_ref((string) $f['lookup']['table']);
    if (!$f['form']['allow_add'] || $lt === null) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    if (!vm_page_exists($lt, 'add') || !vm_page_permitted($lt, 'add')
        || !(vm_page_permitted($t, 'add') || vm_page_permitted($t, 'edit'))) {
        vm_json(['error' => vm_phrase('Forbidden')], 403);
    }
    $lk = $f['lookup'];
    $store = [];
    $posted = [$lk['display'][0] => vm_post('label')];
    if (!($lt['fields'][$lk['key']]['autoinc'] ?? false)) {
        $posted[$lk['key']] = $lk['key'] === $lk['display'][0] ? vm_post('label') : vm_post('key');
    }
    foreach ($posted as $col => $v) {
        $lf = $lt['fields'][$col] ?? null;
        $v = trim($v);
        $error = $lf === null ? vm_phrase('InvalidValue') : ($v === '' ? vm_phrase('FieldRequired') : vm_validate($lf, $v));
        if ($error !== null) {
            vm_json(['error' => ($lf['caption'] ?? $col) . ': ' . $error], 400);
        }
        $store[$col] = $v;
    }
    if (vm_owner_field($lt) !== '') {
        $store[vm_owner_field($lt)] = vm_user_id();
    }
    vm_auto_values($lt, $store);
    try {
        vm_insert($lt, $store);
    } catch (PDOException $e) {
        vm_json(['error' => vm_save_error($e, $lt, $store) ?? throw $e], 400);
    }
    $key = $store[$lk['key']] ?? null;
    if ($key === null) {
        $key = vm_str(vm_query('SELECT MAX(' . vm_qi($lk['key']) . ') FROM ' . vm_qt($lt['name']) . ' WHERE '
            . vm_qi($lk['display'][0]) . ' = ?', [$store[$lk['display'][0]]])->fetchColumn());
    }
    vm_audit_change($lt, 'add', [$lk['key'] => vm_str($key)], $store);
    vm_notify_change($lt, 'add', $store + [$lk['key'] => vm_str($key)]);
    $labels = vm_lookup_labels($f, [$key]);
    return ['value' => vm_str($key), 'label' => $labels[vm_str($key)] ?? $store[$lk['display'][0]]];
}
