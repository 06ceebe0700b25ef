<?php
declare(strict_types=1);

/**
 * Export of the list (its search, master filter and sort; the page shown, or every page) from
 * <var>list.php?export=<format>, and of one record from <var>view.php?export=<format>&key[..]=..;
 * export=email asks for the addresses and sends the export as an attachment.
 */

require_once __DIR__ . '/list.php';
require_once VM_LIB_DIR . '/export.php';

function vm_page_export(array $t): void
{
    $format = vm_get('export');
    if (!in_array($format, vm_export_formats($t, 'list'), true)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $ctx = vm_list_query($t);
    $all = vm_get('all') !== '' ? vm_get('all') === '1' : vm_export_settings($t)['rows'] === 'all';
    $sql = 'SELECT ' . vm_select_columns($t) . ' FROM ' . vm_from($t) . $ctx['where'] . $ctx['order_by'];
    if (!$all) {
        // the page the list shows: the same rows per page and first row
        $per = vm_list_per_page($t);
        $start = vm_get_int('start');
        $page = vm_get_int('page');
        if ($start === null && $page !== null && $per > 0) {
            $start = (max(1, $page) - 1) * $per + 1;
        }
        $sql .= $per > 0 ? ' LIMIT ' . $per . ' OFFSET ' . (max(1, $start ?? 1) - 1) : '';
    }
    $cols = vm_export_columns($t, 'list');
    $params = $ctx['params'];
    $doc = ['table' => $t, 'cols' => $cols, 'title' => $t['caption'], 'record' => false,
        'back' => vm_url(vm_page_file($t, 'list'), vm_master_params($ctx['master']) + ['q' => $ctx['q']]),
        'batches' => static fn() => vm_export_batches($t, $cols, $sql, $params)];
    if ($format === 'email') {
        vm_export_email($doc, vm_export_name($t));
    }
    vm_export_send($format, $doc, vm_export_name($t));
}

function vm_page_export_record(array $t): void
{
    $format = vm_get('export');
    if (!in_array($format, vm_export_formats($t, 'view'), true)) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $key = vm_request_key($t);
    if (vm_fetch_row($t, $key) === null) {
        throw new VmHttpError(404, 'NoRecord');
    }
    [$where, $params] = vm_key_where($t, $key);
    $sql = 'SELECT ' . vm_select_columns($t) . ' FROM ' . vm_from($t) . ' WHERE ' . $where;
    $cols = vm_export_columns($t, 'view');
    $doc = ['table' => $t, 'cols' => $cols, 'title' => $t['caption'], 'record' => true,
        'back' => vm_record_url($t, 'view', $key),
        'batches' => static fn() => vm_export_batches($t, $cols, $sql, $params)];
    if ($format === 'email') {
        vm_export_email($doc, vm_export_name($t, $key));
    }
    vm_export_send($format, $doc, vm_export_name($t, $key));
}

/**
 * The e-mail form (GET) and its sending (POST): the export in the chosen format attached to a
 * message to the addresses given.
 */
function vm_export_email(array $doc, string $name): never
{
    require_once VM_LIB_DIR . '/mail.php';
    if (!vm_library('phpmailer')) {
        vm_library_missing_page('phpmailer');
    }
    $t = $doc['table'];
    $formats = vm_export_attachable($t);
    $values = ['to' => '', 'subject' => $doc['title'], 'message' => '', 'format' => $formats[0]];
    $message = '';
    $sent = false;
    if (vm_method() === 'POST') {
        foreach (array_keys($values) as $k) {
            $values[$k] = vm_post($k);
        }
        $to = vm_mail_split($values['to']);
        $format = $values['format'];
        $bad = array_filter($to, static fn($a) => !vm_mail_address_ok($a));
        if ($to === [] || $bad !== [] || count($to) > 10) {
            $message = 'InvalidEmail';
        } elseif (preg_match('/[\x00-\x1f\x7f]/', $values['subject']) || trim($values['subject']) === '') {
            $message = 'InvalidSubject';
        } elseif (!in_array($format, $formats, true)) {
            $message = 'FormErrors';
        } else {
            $needs = ['xlsx' => 'zip', 'docx' => 'zip', 'pdf' => 'dompdf'][$format] ?? '';
            if ($needs !== '' && !vm_library($needs)) {
                vm_library_missing_page($needs);
            }
            $file = tempnam(sys_get_temp_dir(), 'vmmail');
            try {
                $out = fopen($file, 'wb');
                vm_export_write($format, $doc, $out);
                fclose($out);
                $attached = $name . '.' . VM_EXPORT_FORMATS[$format][2];
                $text = trim($values['message']) !== '' ? $values['message']
                    : vm_phrase_fill('EmailAttached', ['file' => $attached]);
                $sent = vm_mail_send($to, trim($values['subject']), $text,
                    [['path' => $file, 'name' => $attached, 'type' => VM_EXPORT_FORMATS[$format][1]]]);
            } finally {
                @unlink($file);
            }
            $message = $sent ? 'EmailSent' : 'EmailFailed';
            if (!$sent) {
                http_response_code(502);
            }
        }
        if ($message === 'InvalidEmail' || $message === 'InvalidSubject' || $message === 'FormErrors') {
            http_response_code(400);
        }
    }
    vm_header($doc['title'] . ' - ' . vm_phrase('ExportEmail'));
    if ($message !== '') {
        echo '<p class="vm-message ', $sent ? 'vm-ok' : 'vm-error', '" role="alert">', vm_ph($message), "</p>\n";
    }
    if ($sent) {
        echo '<p>', vm_link((string) $doc['back'], vm_phrase('Back')), "</p>\n";
        vm_footer();
        throw new VmStop();
    }
    echo '<form method="post" action="', vm_h(vm_current_url()), '" class="vm-form">', vm_csrf_field(),
        '<div class="vm-field"><label for="vm-to">', vm_ph('EmailTo'), '</label><div class="vm-control">',
        '<input type="text" id="vm-to" name="to" required value="', vm_h($values['to']), '"></div></div>',
        '<div class="vm-field"><label for="vm-subject">', vm_ph('EmailSubject'), '</label><div class="vm-control">',
        '<input type="text" id="vm-subject" name="subject" required maxlength="200" value="', vm_h($values['subject']),
        '"></div></div><div class="vm-field"><label for="vm-message">', vm_ph('EmailMessage'), '</label><div class="vm-control">',
        '<textarea id="vm-message" name="message" rows="5">', vm_h($values['message']), '</textarea></div></div>',
        '<div class="vm-field"><label for="vm-format">', vm_ph('EmailFormat'), '</label><div class="vm-control">',
        '<select id="vm-format" name="format">';
    foreach ($formats as $format) {
        echo '<option value="', $format, '"', $format === $values['format'] ? ' selected' : '', '>',
            vm_ph(VM_EXPORT_FORMATS[$format][0]), '</option>';
    }
    echo '</select></div></div><div class="vm-buttons"><button type="submit">', vm_ph('EmailSend'), '</button> ',
        vm_link((string) $doc['back'], vm_phrase('Cancel')), "</div></form>\n";
    vm_footer();
    throw new VmStop();
}
