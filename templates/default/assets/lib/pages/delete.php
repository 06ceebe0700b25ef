<?php
declare(strict_types=1);

/** The delete page: GET asks for confirmation showing the record, POST deletes it. */

require_once VM_LIB_DIR . '/notify.php';

function vm_page_delete(array $t): void
{
    if (vm_method() === 'POST' && vm_get('multi') !== '') {
        require_once VM_LIB_DIR . '/multi.php';
        vm_multi_delete($t);
        return;
    }
    $key = vm_request_key($t);
    $row = vm_fetch_row($t, $key);
    if ($row === null) {
        throw new VmHttpError(404, 'NoRecord');
    }
    $master = vm_request_master($t);
    $after = $master !== null && vm_master_key($master) !== null && vm_has_page($master[0], 'view')
        ? vm_record_url($master[0], 'view', vm_master_key($master))
        : vm_url(vm_page_file($t, 'list'), vm_master_params($master));
    // deleting from the list goes back to the page of the list it came from
    $back = vm_post('_back');
    if (vm_is_local_url($back) && str_starts_with($back, vm_page_file($t, 'list'))) {
        $after = $back;
    }
    $message = '';
    if (vm_method() === 'POST') {
        if (!vm_hook_allows('row_deleting', $row)) {
            $message = 'DeleteCancelled';
        } else {
            try {
                [$where, $params] = vm_key_where($t, $key);
                vm_query('DELETE FROM ' . vm_qt($t['name']) . ' WHERE ' . $where, $params);
                vm_audit_change($t, 'delete', $key, [], $row);
                vm_notify_change($t, 'delete', $row);
                foreach ($t['fields'] as $col => $f) {
                    if (vm_is_upload_field($f)) {
                        vm_upload_remove(vm_str($row[$col] ?? null));
                    }
                }
                vm_flash('DeleteSuccess');
                vm_redirect($after);
            } catch (PDOException $e) {
                if (vm_sql_state($e) !== '23') {
                    throw $e;
                }
                error_log('velmora notice: delete refused: ' . $e->getMessage());
                http_response_code(409);
                $message = 'DeleteFailed';
            }
        }
    }
    $cols = vm_columns_with($t, 'view');
    $labels = vm_rows_lookup_labels($t, [$row], $cols);
    vm_header($t['caption'] . ' - ' . vm_phrase('Delete'));
    if ($message !== '') {
        echo '<p class="vm-message vm-error" role="alert">', vm_ph($message), "</p>\n";
    }
    echo '<p class="vm-message">', vm_ph('DeleteConfirm'), "</p>\n<table class=\"vm-record\">\n";
    foreach ($cols as $col) {
        $f = $t['fields'][$col];
        echo '<tr><th scope="row">', vm_h($f['caption']), '</th><td>',
            vm_is_upload_field($f) ? '' : vm_display_html($f, $row[$col] ?? null, $labels[$col] ?? []), "</td></tr>\n";
    }
    echo "</table>\n<form method=\"post\" action=\"", vm_h(vm_record_url($t, 'delete', $key, vm_master_params($master))),
        '" class="vm-form">', vm_csrf_field(),
        '<div class="vm-buttons"><button type="submit" class="vm-danger">', vm_ph('DeleteLink'), '</button> ',
        vm_link($after, vm_phrase('Cancel')), "</div></form>\n";
    vm_footer();
}
