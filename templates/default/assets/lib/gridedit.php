<?php
declare(strict_types=1);

/**
 * Changing records inside the list page: a row of inputs to add, copy or edit one record (inline),
 * every row of the page or blank rows at once (grid), and the same fields set for the ticked
 * records (multi-update). Values are read and checked as the add and edit pages do; a grid or a
 * multi-update is saved in one transaction, all of its rows or none.
 */

require_once VM_LIB_DIR . '/pages/edit.php';
require_once VM_LIB_DIR . '/multi.php';

/** Blank rows a grid add offers unless asked for another number (rows=1..50). */
const VM_GRID_ADD_ROWS = 3;

/**
 * The change the list page is asked for: ['how' => inline|grid, 'action' => add|copy|edit,
 * 'key' => the record (inline copy and edit)], or null. Only what the table's settings and the
 * user's level allow.
 */
function vm_list_edit_mode(array $t): ?array
{
    $s = vm_list_settings($t);
    $inline = vm_get('inline');
    $grid = vm_get('grid');
    $page = ['add' => 'add', 'copy' => 'copy', 'edit' => 'edit'];
    if ($inline !== '' && isset($page[$inline]) && $s['inline_' . $inline] && vm_has_page($t, $page[$inline])) {
        return ['how' => 'inline', 'action' => $inline, 'key' => $inline === 'add' ? null : vm_request_key($t)];
    }
    if (in_array($grid, ['add', 'edit'], true) && $s['grid_' . $grid] && vm_has_page($t, $grid)) {
        return ['how' => 'grid', 'action' => $grid, 'key' => null];
    }
    return null;
}

/** The listed columns a row of inputs offers: those of the add or edit form, without file uploads. */
function vm_inline_columns(array $t, string $action): array
{
    $form = vm_form_columns($t, $action === 'edit' ? 'edit' : 'add');
    return array_values(array_filter(vm_columns_with($t, 'list'), static fn($col) => in_array($col, $form, true)
        && !vm_is_upload_field($t['fields'][$col])));
}

/** A row of inputs in the list's columns; columns without an input show the stored value. */
function vm_input_cells_html(array $t, array $listed, array $cols, string $name, string $id, array $values,
    array $errors, ?array $row): string
{
    $html = '';
    foreach ($listed as $col) {
        $f = $t['fields'][$col];
        if (!in_array($col, $cols, true)) {
            $html .= '<td' . vm_cell_attr($f) . '>' . ($row === null ? '' : vm_field_html($t, $col, $row, [], true)) . '</td>';
            continue;
        }
        $cid = $id . '_' . substr(md5($col), 0, 8);
        $error = $errors[$col] ?? '';
        if ($f['tag'] === 'HIDDEN') {
            $html .= '<td><input type="hidden" name="' . vm_h($name . '[' . $col . ']') . '" value="'
                . vm_h($values[$col] ?? '') . '"></td>';
            continue;
        }
        ob_start();
        vm_form_control($f, $col, $name . '[' . $col . ']', $cid, $values[$col] ?? '', $row, $error !== '');
        $html .= '<td class="vm-input' . ($error !== '' ? ' vm-invalid' : '') . '"><label class="vm-hidden" for="'
            . vm_h($cid) . '">' . vm_h($f['caption']) . '</label>' . ob_get_clean()
            . ($error !== '' ? '<span class="vm-field-error" id="' . vm_h($cid) . '_error">' . vm_h($error) . '</span>' : '')
            . '</td>';
    }
    return $html;
}

/** The form values of a stored row for a row of inputs. */
function vm_inline_values(array $t, array $cols, ?array $row): array
{
    if ($row !== null) {
        return vm_form_values($t, $cols, $row);
    }
    $values = [];
    foreach ($cols as $col) {
        $d = $t['fields'][$col]['default'];
        $values[$col] = $d === null ? '' : vm_str($d);
    }
    return $values;
}

/** The values a new record gets besides the form's: its owner and the master's link values. */
function vm_new_record_values(array $t, array $cols, array $store): array
{
    if (vm_owner_field($t) !== '') {
        $store[vm_owner_field($t)] = vm_user_id();
    }
    $master = vm_request_master($t);
    foreach ($master[2] ?? [] as $col => $v) {
        if (!in_array($col, $cols, true)) {
            $store[$col] = $v;
        }
    }
    return $store;
}

/** True when a grid-add row was left blank (check boxes aside): it adds nothing. */
function vm_grid_row_blank(array $t, array $in): bool
{
    foreach ($in as $col => $v) {
        $f = $t['fields'][$col] ?? null;
        if ($f !== null && !vm_is_bool_field($f) && (is_array($v) ? $v !== [] : trim((string) $v) !== '')) {
            return false;
        }
    }
    return true;
}

/**
 * Saves what a row (inline) or the rows (grid) of inputs posted; redirects to the list when saved,
 * else returns what to show again: ['values' => row => values, 'errors' => row => column =>
 * message, 'message' => text]. Rows of a grid are numbered as posted; an inline row is row 0.
 */
function vm_list_save(array $t, array $mode): array
{
    vm_page_context([$t['var'], $mode['action'] === 'edit' ? 'edit' : 'view']);
    $cols = vm_inline_columns($t, $mode['action']);
    $back = vm_url(vm_page_file($t, 'list'), vm_list_state_params($t));
    if ($mode['how'] === 'inline') {
        $posted = [0 => is_array($_POST['f'] ?? null) ? $_POST['f'] : []];
        $keys = [0 => $mode['action'] === 'edit' ? $mode['key'] : null];
    } else {
        $posted = is_array($_POST['g'] ?? null) ? array_slice($_POST['g'], 0, VM_MULTI_MAX, true) : [];
        $keys = [];
        foreach ($posted as $i => $in) {
            $keys[$i] = null;
            if ($mode['action'] === 'edit') {
                $_POST['keys'] = [vm_posted_text('gk', $i)];
                $keys[$i] = vm_posted_keys($t)[0] ?? throw new VmHttpError(400, 'InvalidSelection');
            }
        }
    }
    $values = [];
    $errors = [];
    $changes = [];
    foreach ($posted as $i => $in) {
        if (!is_array($in) || ($mode['action'] === 'add' && $mode['how'] === 'grid' && vm_grid_row_blank($t, $in))) {
            continue;
        }
        $old = null;
        if ($keys[$i] !== null) {
            $old = vm_fetch_row($t, $keys[$i]) ?? throw new VmHttpError(404, 'NoRecord');
        }
        [$values[$i], $store, $rowErrors] = vm_form_read($t, $cols, $mode['action'] === 'edit' ? 'edit' : 'add', $old, $in);
        if ($rowErrors !== []) {
            $errors[$i] = $rowErrors;
            continue;
        }
        $changes[$i] = [$keys[$i], $mode['action'] === 'edit' ? $store : vm_new_record_values($t, $cols, $store), $old];
    }
    if ($errors !== []) {
        return ['values' => $values, 'errors' => $errors, 'message' => vm_phrase('FormErrors')];
    }
    if ($changes === []) {
        vm_redirect($back);
    }
    $hashes = null;
    if ($mode['action'] === 'edit' && $t['concurrency']) {
        $hashes = [];
        foreach (array_keys($changes) as $i) {
            $hashes[$i] = $mode['how'] === 'grid' ? vm_posted_text('gh', $i) : vm_post('_rowhash');
        }
    }
    $message = vm_save_changes($t, $changes, $hashes);
    if ($message === null) {
        vm_flash($mode['action'] === 'edit' ? 'EditSuccess' : 'AddSuccess');
        vm_redirect($back);
    }
    return ['values' => $values, 'errors' => [], 'message' => $message];
}

/**
 * Inserts (no key) or updates (a key) the records in one transaction: all, or none when a hook or
 * the database refuses one, or one changed since it was shown ($hashes by row); null when saved,
 * else the message.
 */
function vm_save_changes(array $t, array $changes, ?array $hashes): ?string
{
    $db = vm_db();
    $db->beginTransaction();
    $done = [];
    try {
        foreach ($changes as $i => [$key, $store]) {
            $failing = $store;
            if ($key === null) {
                if (!vm_hook_allows('row_inserting', $store)) {
                    $db->rollBack();
                    return vm_phrase('InsertCancelled');
                }
                vm_insert($t, $store);
                $done[] = ['add', vm_inserted_key($t, $store), $store, null];
                continue;
            }
            $current = vm_fetch_row($t, $key);
            if ($current === null) {
                $db->rollBack();
                throw new VmHttpError(404, 'NoRecord');
            }
            if ($hashes !== null && !hash_equals(vm_row_hash($t, $current), (string) ($hashes[$i] ?? ''))) {
                $db->rollBack();
                return vm_phrase('RecordChanged');
            }
            if (!vm_hook_allows('row_updating', $store)) {
                $db->rollBack();
                return vm_phrase('UpdateCancelled');
            }
            if ($store !== []) {
                [$where, $params] = vm_key_where($t, $key);
                vm_query('UPDATE ' . vm_qt($t['name']) . ' SET ' . implode(', ', array_map(
                    static fn($col) => vm_qi((string) $col) . ' = ?', array_keys($store))) . ' WHERE ' . $where,
                    array_merge(array_values($store), $params));
            }
            $done[] = ['edit', $key, $store, $current];
        }
        $db->commit();
    } catch (PDOException $e) {
        if ($db->inTransaction()) {
            $db->rollBack();
        }
        return vm_save_error($e, $t, $failing ?? []) ?? throw $e;
    }
    foreach ($done as [$action, $key, $store, $current]) {
        vm_audit_change($t, $action, $key, $store, $current ?? []);
        vm_notify_change($t, $action, $store, $current);
    }
    return null;
}

/** A posted value name[key] as text; '' when absent or not text. */
function vm_posted_text(string $name, int|string $key): string
{
    $v = is_array($_POST[$name] ?? null) ? ($_POST[$name][$key] ?? '') : '';
    return is_string($v) ? $v : '';
}

/** The list's state (master, search, sort, start) as parameters, for going back to it. */
function vm_list_state_params(array $t): array
{
    $keep = [];
    foreach (['master', 'order', 'dir', 'start', 'q', 'qt'] as $p) {
        if (vm_get($p) !== '') {
            $keep[$p] = vm_get($p);
        }
    }
    foreach ($_GET as $name => $v) {
        if (is_string($name) && str_starts_with($name, 'fk_') && is_string($v)) {
            $keep[$name] = $v;
        }
    }
    return $keep;
}

/** True when the list offers to update the ticked records. */
function vm_multi_update_on(array $t): bool
{
    return (bool) vm_list_settings($t)['multi_update'] && vm_has_page($t, 'edit') && vm_multi_update_columns($t) !== [];
}

/** The fields a multi-update may set: those of the edit form marked FldMultiUpdate, no uploads. */
function vm_multi_update_columns(array $t): array
{
    return array_values(array_filter(vm_form_columns($t, 'edit'), static fn($col) =>
        vm_show($t['fields'][$col])['multi_update'] && !vm_is_upload_field($t['fields'][$col])
        && $t['fields'][$col]['tag'] !== 'PASSWORD'));
}

/**
 * The multi-update form for the ticked records (posted from the list), and its saving: the fields
 * ticked under "change" get the values given, for every record, in one transaction.
 */
function vm_multi_update(array $t): void
{
    if (!vm_multi_update_on($t)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    vm_page_context([$t['var'], 'edit']);
    $keys = vm_posted_keys($t);
    $back = vm_url(vm_page_file($t, 'list'), vm_master_params(vm_request_master($t)));
    if ($keys === []) {
        vm_redirect($back);
    }
    $all = vm_multi_update_columns($t);
    $chosen = array_values(array_filter($all, static fn($col) => vm_posted_text('u', $col) === '1'));
    $values = [];
    $errors = [];
    $message = '';
    $rows = [];
    foreach ($keys as $key) {
        $rows[] = [$key, vm_fetch_row($t, $key) ?? throw new VmHttpError(404, 'NoRecord')];
    }
    if (vm_post('_apply') === '1') {
        if ($chosen === []) {
            $message = vm_phrase('NothingToUpdate');
        } else {
            [$values, $store, $errors] = vm_form_read($t, $chosen, 'edit', null);
            if ($errors === []) {
                $changes = [];
                foreach ($rows as [$key, $row]) {
                    $changes[] = [$key, $store, $row];
                }
                $message = vm_save_changes($t, $changes, null);
                if ($message === null) {
                    vm_flash('RecordsUpdated');
                    vm_redirect($back);
                }
            } else {
                $message = vm_phrase('FormErrors');
            }
        }
    } else {
        foreach ($all as $col) {
            $values[$col] = '';
        }
    }
    vm_header($t['caption'] . ' - ' . vm_phrase('UpdateSelected'));
    if ($message !== '') {
        echo '<p class="vm-message vm-error" role="alert">', vm_h($message), "</p>\n";
    }
    echo '<p class="vm-message">', vm_h(vm_phrase_fill('UpdatingRecords', ['count' => count($rows)])), "</p>\n",
        '<form method="post" class="vm-form vm-multiupdate" novalidate action="', vm_h(vm_url(vm_page_file($t, 'list'),
        vm_master_params(vm_request_master($t)) + ['multiupdate' => '1'])), '">', vm_csrf_field(),
        '<input type="hidden" name="_apply" value="1">';
    foreach ($keys as $key) {
        echo '<input type="hidden" name="keys[]" value="', vm_h(json_encode($key, JSON_UNESCAPED_UNICODE)), '">';
    }
    foreach ($all as $col) {
        $f = $t['fields'][$col];
        $id = 'f_' . substr(md5($col), 0, 10);
        $error = $errors[$col] ?? '';
        echo '<div class="vm-field', $error !== '' ? ' vm-invalid' : '', '"><label for="', $id, '">', vm_h($f['caption']),
            '</label><div class="vm-control"><label class="vm-change"><input type="checkbox" name="u[', vm_h($col),
            ']" value="1"', in_array($col, $chosen, true) ? ' checked' : '', '> ', vm_ph('ChangeField'), '</label> ';
        vm_form_control($f, $col, 'f[' . $col . ']', $id, $values[$col] ?? '', null, $error !== '');
        if ($error !== '') {
            echo '<span class="vm-field-error" id="', $id, '_error">', vm_h($error), '</span>';
        }
        echo "</div></div>\n";
    }
    echo '<div class="vm-buttons"><button type="submit">', vm_ph('Save'), '</button> ', vm_link($back, vm_phrase('Cancel')),
        "</div></form>\n";
    vm_footer();
}
