<?php
declare(strict_types=1);

/** The view page: one record, its uploaded files, and the detail records under it (lib/detail.php). */

function vm_page_view(array $t): void
{
    $key = vm_request_key($t);
    $row = vm_fetch_row($t, $key);
    if ($row === null) {
        throw new VmHttpError(404, 'NoRecord');
    }
    if (vm_get('download') !== '') {
        vm_download($t, $key, $row, vm_get('download'));
    }
    if (function_exists('row_rendered')) {
        row_rendered($row);
    }
    $cols = vm_columns_with($t, 'view');
    $labels = vm_rows_lookup_labels($t, [$row], $cols);

    vm_header($t['caption']);
    echo '<div class="vm-toolbar"><div class="vm-actions">';
    echo vm_link(vm_page_file($t, 'list'), vm_phrase('BackToList'), 'vm-button');
    foreach (['edit', 'copy', 'delete'] as $p) {
        if (vm_has_page($t, $p)) {
            $url = $p === 'copy' ? vm_url(vm_page_file($t, 'add'), ['copy' => '1', 'key' => $key])
                : vm_record_url($t, $p, $key);
            echo ' ', vm_link($url, vm_phrase(ucfirst($p) . 'Link'), 'vm-button');
        }
    }
    require_once VM_LIB_DIR . '/export.php';
    echo ' ', vm_export_controls($t, 'view', vm_page_file($t, 'view'), ['key' => $key]);
    echo "</div></div>\n";
    $pages = vm_form_pages($t, $cols, 'view');   // the fields in pages when the view page has several
    $page = 0;
    echo vm_form_pages_open($t, $pages), count($pages) > 1 ? '' : "<table class=\"vm-record\">\n";
    foreach (array_keys(vm_field_page_numbers($pages)) as $col) {
        $f = $t['fields'][$col];
        echo vm_page_switch($t, $pages, $col, $page, "<table class=\"vm-record\">\n", "</table>\n");
        echo '<tr><th scope="row">', vm_h($f['caption']), '</th><td', vm_show_class($f), '>';
        if (vm_is_blob_field($f) || vm_show($f)['view_tag'] === 'image') {
            echo vm_field_html($t, $col, $row, []);
        } elseif (vm_is_upload_field($f)) {
            $stored = vm_str($row[$col] ?? null);
            $files = $stored === '' ? [] : explode(',', $stored);   // a field may hold several files
            foreach (array_keys($files) as $n) {
                echo $n > 0 ? ' ' : '', vm_link(vm_record_url($t, 'view', $key, ['download' => $col]
                    + (count($files) > 1 ? ['n' => $n] : [])), vm_phrase('Download') . (count($files) > 1 ? ' ' . ($n + 1) : ''));
            }
        } else {
            echo vm_field_html($t, $col, $row, $labels[$col] ?? []);
        }
        echo "</td></tr>\n";
    }
    echo count($pages) > 1 ? vm_pages_end($t, $pages, $page, "</table>\n") : "</table>\n";
    require_once VM_LIB_DIR . '/detail.php';
    echo vm_detail_view_html($t, $row, $key);
    vm_footer();
}

/** Sends an uploaded file stored in a field of the row, or a binary column's content. */
function vm_download(array $t, array $key, array $row, string $col): never
{
    $f = $t['fields'][$col] ?? null;
    if ($f === null || !vm_is_upload_field($f) || (!$f['view'] && !$f['list'])) {
        throw new VmHttpError(404, 'NoRecord');
    }
    $name = $t['var'] . '_' . preg_replace('/[^A-Za-z0-9_]/', '_', $col) . '_'
        . implode('_', array_map(static fn($v) => preg_replace('/[^A-Za-z0-9_-]/', '_', $v), vm_row_key($t, $row)));
    if (vm_is_blob_field($f)) {
        vm_send_blob($t, $key, $col, $name);
    }
    $stored = vm_upload_nth(vm_str($row[$col] ?? null), vm_get_int('n') ?? 0);
    $path = vm_upload_path($stored);
    if ($path === null || !is_file($path)) {
        throw new VmHttpError(404, 'NoRecord');
    }
    $ext = pathinfo($stored, PATHINFO_EXTENSION);
    // a field shown as an image asks for it inline; only bytes that are an image are sent so
    $image = vm_get('inline') === '1' ? vm_image_type((string) file_get_contents($path, false, null, 0, 16)) : '';
    vm_stream_output();
    header('Content-Type: ' . ($image !== '' ? 'image/' . $image : 'application/octet-stream'));
    header('Content-Disposition: ' . ($image !== '' ? 'inline' : 'attachment') . '; filename="' . $name
        . ($ext !== '' ? '.' . $ext : '') . '"');
    header('X-Content-Type-Options: nosniff');
    header("Content-Security-Policy: default-src 'none'; sandbox");
    header('Content-Length: ' . (string) filesize($path));
    header('Cache-Control: private, no-store');
    readfile($path);
    throw new VmStop();
}

/**
 * Sends the content of a binary column, read only now. Its type is found from the bytes; a png,
 * jpeg, gif or webp image is shown in the page (thumbnails), anything else only downloaded, and
 * never sniffed or run by the browser.
 */
function vm_send_blob(array $t, array $key, string $col, string $name): never
{
    [$where, $params] = vm_key_where($t, $key);
    $v = vm_query('SELECT ' . vm_qi($col) . ' FROM ' . vm_from($t) . ' WHERE ' . $where, $params)->fetchColumn();
    $bytes = is_resource($v) ? (string) stream_get_contents($v) : vm_str($v === false ? null : $v);
    if ($bytes === '') {
        throw new VmHttpError(404, 'NoRecord');
    }
    $image = vm_image_type($bytes);
    $type = 'application/octet-stream';
    $ext = 'bin';
    if (class_exists('finfo')) {
        $info = new finfo();
        $type = (string) ($info->buffer($bytes, FILEINFO_MIME_TYPE) ?: $type);
        $ext = explode('/', (string) $info->buffer($bytes, FILEINFO_EXTENSION))[0];
        $ext = preg_match('/^[a-z0-9]{1,10}$/D', $ext) ? $ext : 'bin';
    } elseif ($image !== '') {
        $type = 'image/' . $image;
    }
    $inline = $image !== '' && $type === 'image/' . $image;
    if ($image !== '') {
        $ext = $image === 'jpeg' ? 'jpg' : $image;
    }
    vm_stream_output();
    header('Content-Type: ' . $type);
    header('Content-Disposition: ' . ($inline ? 'inline' : 'attachment') . '; filename="' . $name . '.' . $ext . '"');
    header('X-Content-Type-Options: nosniff');
    header("Content-Security-Policy: default-src 'none'; sandbox");
    header('Content-Length: ' . (string) strlen($bytes));
    header('Cache-Control: private, no-store');
    echo $bytes;
    throw new VmStop();
}
