<?php
declare(strict_types=1);

/** Deleting the records ticked in a list at once: all of them or, when one is refused, none. */

require_once VM_LIB_DIR . '/notify.php';

/** The most records one request deletes. */
const VM_MULTI_MAX = 500;

/** True when the list offers to delete the ticked rows. */
function vm_multi_delete_on(array $t): bool
{
    return (bool) ($t['lists']['multi_delete'] ?? false) && vm_has_page($t, 'delete');
}

function vm_multi_form_id(array $t): string
{
    return 'vm-multi-' . $t['var'];
}

/** True when the list's rows have tick boxes: to delete or to update the ticked records. */
function vm_multi_ticks_on(array $t): bool
{
    return vm_multi_delete_on($t) || (function_exists('vm_multi_update_on') && vm_multi_update_on($t));
}

/** The header cell of the tick column. */
function vm_multi_head_html(array $t): string
{
    return vm_multi_ticks_on($t)
        ? '<th class="vm-tick"><span class="vm-hidden">' . vm_ph('SelectRecord') . '</span></th>' : '';
}

/** A row's tick box, joined to the list's delete form; its value is the row's key as JSON. */
function vm_multi_cell_html(array $t, array $row): string
{
    if (!vm_multi_ticks_on($t)) {
        return '';
    }
    if (!vm_row_has_key($t, $row)) {
        return '<td class="vm-tick"></td>';
    }
    $key = json_encode(vm_row_key($t, $row), JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE);
    return '<td class="vm-tick"><input type="checkbox" name="keys[]" value="' . vm_h($key) . '" form="'
        . vm_multi_form_id($t) . '" aria-label="' . vm_ph('SelectRecord') . '"></td>';
}

/**
 * The form the tick boxes belong to, below the list, with a button per action (each posting to its
 * own page), or the buttons in a drop-down (UseDropDownForAction).
 */
function vm_multi_form_html(array $t, array $masterParams): string
{
    if (!vm_multi_ticks_on($t)) {
        return '';
    }
    $delete = vm_url(vm_page_file($t, 'delete'), $masterParams + ['multi' => '1']);
    $update = vm_url(vm_page_file($t, 'list'), $masterParams + ['multiupdate' => '1']);
    $buttons = [];
    if (vm_multi_delete_on($t)) {
        $buttons[] = '<button type="submit" class="vm-danger">' . vm_ph('DeleteSelected') . '</button>';
    }
    if (function_exists('vm_multi_update_on') && vm_multi_update_on($t)) {
        $buttons[] = '<button type="submit" formaction="' . vm_h($update) . '">' . vm_ph('UpdateSelected') . '</button>';
    }
    $html = implode(' ', $buttons);
    if ((bool) ($t['lists']['action_dropdown'] ?? false)) {
        $html = '<details class="vm-dropdown"><summary>' . vm_ph('Actions') . '</summary><div class="vm-dropdown-items">'
            . $html . '</div></details>';
    }
    return '<form method="post" id="' . vm_multi_form_id($t) . '" class="vm-multi" action="'
        . vm_h(vm_multi_delete_on($t) ? $delete : $update) . '">' . vm_csrf_field() . $html . "</form>\n";
}

/** The keys posted: each a JSON object with every key column and text values; 400 for anything else. */
function vm_posted_keys(array $t): array
{
    $posted = $_POST['keys'] ?? [];
    if (!is_array($posted) || count($posted) > VM_MULTI_MAX) {
        throw new VmHttpError(400, 'InvalidSelection');
    }
    $out = [];
    foreach ($posted as $one) {
        $key = is_string($one) ? json_decode($one, true) : null;
        if (!is_array($key) || count($key) !== count($t['key'])) {
            throw new VmHttpError(400, 'InvalidSelection');
        }
        $clean = [];
        foreach ($t['key'] as $col) {
            $v = $key[$col] ?? null;
            if (!is_string($v) && !is_int($v)) {
                throw new VmHttpError(400, 'InvalidSelection');
            }
            $clean[$col] = (string) $v;
        }
        $out[json_encode($clean)] = $clean;
    }
    return array_values($out);
}

/**
 * Deletes the posted records inside one transaction. A record the user may not see is not found
 * (404); a hook that refuses one, or the database refusing one (a foreign key), leaves them all.
 */
function vm_multi_delete(array $t): void
{
    if (!vm_multi_delete_on($t)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $master = vm_request_master($t);
    $back = vm_url(vm_page_file($t, 'list'), vm_master_params($master));
    $keys = vm_posted_keys($t);
    if ($keys === []) {
        vm_redirect($back);
    }
    $rows = [];
    foreach ($keys as $key) {
        $row = vm_fetch_row($t, $key);
        if ($row === null) {
            throw new VmHttpError(404, 'NoRecord');
        }
        if (!vm_hook_allows('row_deleting', $row)) {
            vm_message_page(409, 'DeleteCancelled');
            return;
        }
        $rows[] = [$key, $row];
    }
    $db = vm_db();
    $db->beginTransaction();
    try {
        foreach ($rows as [$key, $row]) {
            [$where, $params] = vm_key_where($t, $key);
            vm_query('DELETE FROM ' . vm_qt($t['name']) . ' WHERE ' . $where, $params);
            if (function_exists('vm_audit_change')) {
                vm_audit_change($t, 'delete', $key, [], $row);
            }
        }
        $db->commit();
    } catch (PDOException $e) {
        $db->rollBack();
        if (vm_sql_state($e) !== '23') {
            throw $e;
        }
        error_log('velmora notice: delete refused: ' . $e->getMessage());
        vm_message_page(409, 'DeleteFailed');
        return;
    }
    foreach ($rows as [, $row]) {
        vm_notify_change($t, 'delete', $row);
        foreach ($t['fields'] as $col => $f) {
            if (vm_is_upload_field($f)) {
                vm_upload_remove(vm_str($row[$col] ?? null));
            }
        }
    }
    vm_flash('DeleteSuccess');
    vm_redirect($back);
}
