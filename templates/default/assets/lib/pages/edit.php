<?php
declare(strict_types=1);

/** The add, copy and edit pages: the record form, its validation and saving. */

require_once VM_LIB_DIR . '/notify.php';
require_once VM_LIB_DIR . '/detail.php';

/** Columns in the form: the fields shown on this page, never database-generated ones. */
function vm_form_columns(array $t, string $mode): array
{
    $flag = $mode === 'edit' ? 'edit' : 'add';
    $cols = array_keys(array_filter($t['fields'], static fn($f) => !empty($f[$flag]) && !$f['autoinc']));
    // only an administrator sets another user's password (one's own is changed knowing the old
    // one), a record's owner, a user's level or activation
    $protected = vm_protected_columns($t, $mode);
    return array_values(array_filter($cols, static fn($col) => !in_array($col, $protected, true)
        && ($mode !== 'edit' || vm_is_admin() || !vm_is_login_password($t, (string) $col))));
}

/** Options of a field with a choice: [[value, label], ...] from its lookup or its values. */
function vm_field_options(array $f): array
{
    if ($f['lookup'] !== null) {
        return vm_lookup_options($f);
    }
    $out = [];
    foreach ($f['values'] as $pair) {
        $pair = array_values((array) $pair);
        if (isset($pair[0])) {
            $out[] = [vm_str($pair[0]), vm_str($pair[1] ?? $pair[0])];
        }
    }
    return $out;
}

function vm_is_multi_checkbox(array $f): bool
{
    return $f['tag'] === 'CHECKBOX' && !vm_is_bool_field($f);
}

/** True for the password column of the table users log in with: stored as a hash. */
function vm_is_login_password(array $t, string $col): bool
{
    $s = vm_config()['security'];
    return $s['type'] === 'table' && $s['table'] === $t['name'] && $s['password_field'] === $col;
}

/** The message for an invalid value, or null when the value (not empty) is valid. */
function vm_validate(array $f, string $v): ?string
{
    if (!preg_match('//u', $v)) {
        return vm_phrase('InvalidValue');
    }
    if (str_contains($v, "\0")) {
        return vm_phrase('InvalidCharacter');   // text columns would cut or refuse it, or echo it back
    }
    $max = vm_max_length($f);
    if ($max > 0 && preg_match_all('/./us', $v) > $max) {
        return vm_phrase_fill('TooLong', ['max' => $max]);
    }
    $checks = [$f['validate']];
    $checks[] = match ($f['type']) {
        'int' => 'integer',
        'float', 'decimal' => 'number',
        'date', 'datetime', 'time' => $f['type'],
        default => '',
    };
    foreach (array_unique(array_filter($checks)) as $check) {
        $error = match ($check) {
            'integer' => preg_match('/^[+-]?\d{1,18}$/D', $v) ? null : 'InvalidInteger',
            'number' => !preg_match('/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d{1,3})?$/D', $v) ? 'InvalidNumber'
                : (is_finite((float) $v) ? null : 'NumberOutOfRange'),   // 1e999 would be stored as INF
            'email' => filter_var($v, FILTER_VALIDATE_EMAIL) !== false ? null : 'InvalidEmail',
            'url' => (filter_var($v, FILTER_VALIDATE_URL) !== false && preg_match('#^https?://#i', $v)) ? null : 'InvalidUrl',
            'date' => vm_valid_date($v, false) ? null : 'InvalidDate',
            'datetime' => vm_valid_date($v, true) ? null : 'InvalidDateTime',
            'time' => preg_match('/^([01]\d|2[0-3]):[0-5]\d(:[0-5]\d)?$/D', $v) ? null : 'InvalidTime',
            default => null,
        };
        if ($error !== null) {
            return vm_phrase($error);
        }
    }
    if ($f['lookup'] !== null || ($f['values'] !== [] && in_array($f['tag'], ['SELECT', 'RADIO'], true))) {
        if (!in_array($v, array_column(vm_field_options($f), 0), true)) {
            return vm_phrase('InvalidValue');
        }
    } elseif ($f['type'] === 'bool' && !in_array(strtolower($v), ['0', '1', 'true', 'false'], true)) {
        return vm_phrase('InvalidValue');
    }
    return null;
}

/** YYYY-MM-DD (and, with $time, HH:MM[:SS] after a space or T; alone the date is accepted too). */
function vm_valid_date(string $v, bool $time): bool
{
    $re = $time ? '/^(\d{4})-(\d{2})-(\d{2})(?:[ T]([01]\d|2[0-3]):[0-5]\d(?::[0-5]\d(?:\.\d+)?)?)?$/D'
        : '/^(\d{4})-(\d{2})-(\d{2})$/D';
    return preg_match($re, $v, $m) === 1 && checkdate((int) $m[2], (int) $m[3], (int) $m[1]);
}

/**
 * The message for a number with more decimal places, or more digits before the point, than the
 * decimal column keeps (the database would round it or refuse it); null when it fits or the
 * limits are unknown. A number with an exponent is left to the database.
 */
function vm_decimal_error(array $t, string $col, string $v): ?string
{
    $limits = vm_decimal_limits($t)[$col] ?? null;
    if ($limits === null || !preg_match('/^[+-]?0*(\d*)(?:\.(\d*?)0*)?$/D', $v, $m)) {
        return null;
    }
    [$precision, $scale] = $limits;
    $caption = $t['fields'][$col]['caption'];
    if (strlen($m[2] ?? '') > $scale) {
        return vm_phrase_fill('TooManyDecimals', ['field' => $caption, 'scale' => $scale]);
    }
    if ($precision > 0 && strlen($m[1]) > $precision - $scale) {
        return vm_phrase_fill('NumberTooLarge', ['field' => $caption, 'digits' => $precision - $scale]);
    }
    return null;
}

/**
 * The message for a database error the user can fix while saving: which rule the values broke
 * and, where the error tells, the field (by caption) and the constraint; null for any other error.
 * The driver's own message only goes to the log.
 */
function vm_save_error(PDOException $e, array $t, array $store): ?string
{
    [$kind, $col, $rule] = vm_db_error($e);
    if ($kind === '' && !in_array(vm_sql_state($e), ['22', '23'], true)) {
        return null;
    }
    error_log('velmora notice: save refused: ' . $e->getMessage());
    if ($kind === '') {
        return vm_phrase(vm_sql_state($e) === '23' ? 'ConstraintError' : 'DataError');
    }
    $field = isset($t['fields'][$col]) ? $col : vm_error_field($t, $store, $kind, $rule, (string) ($e->errorInfo[2] ?? ''));
    $text = vm_phrase(match ($kind) {
        'unique' => 'DuplicateError', 'foreign' => 'ForeignKeyError', 'check' => 'CheckError',
        'not_null' => 'NotNullError', 'too_long' => 'TooLongError', default => 'OutOfRangeError',
    });
    if ($field !== null) {
        $text .= ' ' . vm_phrase_fill('ErrorField', ['field' => $t['fields'][$field]['caption']]);
    }
    if ($rule !== '' && $rule !== $field && preg_match('/^[\w.$-]{1,128}$/uD', $rule)) {
        $text .= ' ' . vm_phrase_fill('ErrorRule', ['rule' => $rule]);
    }
    return $text;
}

/**
 * The field a database error is about when the driver names no column: the one a constraint's
 * name is made of (gadgets_qty_check, the longest when several fit), else the one value that
 * breaks what PostgreSQL's or MySQL's message states (the length limit, the value quoted).
 */
function vm_error_field(array $t, array $store, string $kind, string $rule, string $msg): ?string
{
    $found = [];
    foreach (array_keys($t['fields']) as $col) {
        if ($rule !== '' && preg_match('/(^|[^A-Za-z0-9])' . preg_quote((string) $col, '/') . '($|[^A-Za-z0-9])/i', $rule)) {
            $found[strlen((string) $col)] = $col;
        }
    }
    if ($found !== []) {
        krsort($found);
        return reset($found);
    }
    $max = $kind === 'too_long' && preg_match('/character(?: varying)?\((\d+)\)/', $msg, $m) ? (int) $m[1] : null;
    $value = preg_match('/(?:value "|entry \')(.*?)["\'] (?:is out of range|for key)/s', $msg, $m) ? $m[1] : null;
    $hits = array_keys(array_filter($store, static fn($v) => is_string($v)
        && (($max !== null && preg_match_all('/./us', $v) > $max) || ($value !== null && $v === $value))));
    return count($hits) === 1 ? (string) $hits[0] : null;
}

/**
 * Reads the posted form: [values as typed (for showing the form again), values to store
 * (column => string or null), errors (column => message), accepted uploads (column => [tmp, ext])].
 */
function vm_form_read(array $t, array $cols, string $mode, ?array $old, ?array $in = null): array
{
    $in = $in ?? $_POST['f'] ?? [];
    $in = is_array($in) ? $in : [];
    $values = [];
    $store = [];
    $errors = [];
    $files = [];
    foreach ($cols as $col) {
        $f = $t['fields'][$col];
        if (vm_form_fixed($f, $col, $mode, $old, $values, $store)) {
            continue;
        }
        if (vm_is_upload_field($f)) {
            $got = vm_form_upload($f, $col);
            $remove = $_POST['vmremove'][$col] ?? null;
            if (is_string($got)) {
                $errors[$col] = vm_phrase($got);
            } elseif (is_array($got)) {
                $files[$col] = $got;
            } elseif ($f['required'] && !vm_upload_stored($f, $old[$col] ?? null)) {
                $errors[$col] = vm_phrase('FieldRequired');
            } elseif ($remove === '1' && $f['nullable'] && !$f['required'] && $mode === 'edit') {
                $store[$col] = null;
            }
            continue;
        }
        $raw = $in[$col] ?? null;
        if ($f['tag'] === 'CHECKBOX' && vm_is_bool_field($f)) {
            $v = is_string($raw) && vm_is_true($raw) ? '1' : '0';
            $values[$col] = $v;
            $store[$col] = $f['type'] === 'bool' ? $v === '1' : $v;
            continue;
        }
        if (vm_is_multi_choice($f)) {
            $chosen = is_array($raw) ? array_values(array_filter($raw, 'is_string')) : [];
            $allowed = array_column(vm_form_options($f, $in), 0);
            $v = implode(',', $chosen);
            $values[$col] = $v;
            if (array_diff($chosen, $allowed) !== []) {
                $errors[$col] = vm_phrase('InvalidValue');
            } elseif ($v === '') {
                if ($f['required']) {
                    $errors[$col] = vm_phrase('FieldRequired');
                } else {
                    $store[$col] = null;
                }
            } elseif (vm_max_length($f) > 0 && preg_match_all('/./us', $v) > vm_max_length($f)) {
                $errors[$col] = vm_phrase_fill('TooLong', ['max' => vm_max_length($f)]);
            } else {
                $store[$col] = $v;
            }
            continue;
        }
        if ($raw !== null && !is_string($raw)) {
            $values[$col] = '';
            $errors[$col] = vm_phrase('InvalidValue');
            continue;
        }
        $v = (string) $raw;
        if ($f['tag'] !== 'PASSWORD') {
            $v = trim($v);
        }
        if ($f['type'] === 'datetime') {
            $v = preg_replace('/^(\d{4}-\d{2}-\d{2})T/', '$1 ', $v) ?? $v;   // as a calendar input sends it
        }
        if ($f['form']['html'] && $v !== '') {
            $clean = vm_purify($v);   // rich text keeps only harmless HTML
            if ($clean === null) {
                $values[$col] = $v;
                $errors[$col] = vm_purifier_missing_text();
                continue;
            }
            $v = trim($clean);
        }
        $values[$col] = $f['tag'] === 'PASSWORD' ? '' : $v;
        if ($f['tag'] === 'PASSWORD' && $mode === 'edit' && $v === '') {
            continue;   // an empty password field keeps the stored password
        }
        if ($v === '') {
            if ($f['required']) {
                $errors[$col] = vm_phrase('FieldRequired');
            } elseif ($mode !== 'add' || !$f['db_default']) {
                $store[$col] = null;   // on add, a column the database fills is left to it
            }
            continue;
        }
        $error = vm_validate($f, $v) ?? vm_rule_error($f, $v);   // the field's own message, when it has one
        $error = $error !== null ? vm_field_message($f, $error)
            : ($f['type'] === 'decimal' ? vm_decimal_error($t, $col, $v) : null) ?? vm_form_value_error($t, $f, $col, $v, $in, $mode, $old);
        if ($error !== null) {
            $errors[$col] = $error;
            continue;
        }
        if ($f['type'] === 'bool') {
            $store[$col] = in_array(strtolower($v), ['1', 'true'], true);
            continue;
        }
        if (vm_is_login_password($t, $col)) {
            $problem = vm_password_problem($v);
            if ($problem !== null) {
                $errors[$col] = $problem;
                continue;
            }
            $v = vm_password_hash($v);
        }
        $store[$col] = $v;
    }
    vm_auto_values($t, $store);
    return [$values, $store, $errors, $files];
}

/** A fingerprint of a row as loaded, to notice a change made meanwhile by someone else. */
function vm_row_hash(array $t, array $row): string
{
    $data = [];
    foreach (array_keys($t['fields']) as $col) {
        $data[$col] = array_key_exists($col, $row) && $row[$col] !== null ? vm_str($row[$col]) : null;
    }
    return hash('sha256', serialize($data));
}

/** Where to go after saving: the master's view for a detail record, else the list. */
function vm_after_save_url(array $t, ?array $master): string
{
    if ($master !== null) {
        $mkey = vm_master_key($master);
        if ($mkey !== null && vm_has_page($master[0], 'view')) {
            return vm_record_url($master[0], 'view', $mkey);
        }
        return vm_url(vm_page_file($t, 'list'), vm_master_params($master));
    }
    return vm_page_file($t, 'list');
}

function vm_page_add(array $t, bool $copy): void
{
    $cols = vm_form_columns($t, 'add');
    $master = vm_request_master($t);
    $values = [];
    $errors = [];
    $message = '';
    $source = null;
    if ($copy) {
        $source = vm_fetch_row($t, vm_request_key($t));
        if ($source === null) {
            throw new VmHttpError(404, 'NoRecord');
        }
    }
    if (vm_method() === 'POST') {
        [$values, $store, $errors, $files] = vm_form_read($t, $cols, 'add', null);
        [$grids, $detailChanges, $detailErrors] = vm_detail_form_read($t, 'add', null);
        if ($detailErrors) {
            $errors['_details'] = vm_phrase('FormErrors');
        }
        if (vm_owner_field($t) !== '') {
            $store[vm_owner_field($t)] = vm_user_id();   // a new record belongs to whoever adds it
        }
        if ($master !== null) {
            foreach ($master[2] as $col => $v) {
                if (!in_array($col, $cols, true)) {
                    $store[$col] = $v;
                }
            }
        }
        $step = $errors === [] ? vm_form_step($t, $cols, 'add') : 'save';
        if ($step !== 'save') {
            $confirm = $step === 'confirm';   // the values shown to confirm, or the form again
        } elseif ($errors === []) {
            if (!vm_hook_allows('row_inserting', $store)) {
                $message = vm_phrase('InsertCancelled');
            } else {
                $stored = [];
                try {
                    $stored = vm_upload_values($t, $files, $store);
                    vm_db()->beginTransaction();   // the master and its detail rows, or none
                    vm_insert($t, $store);
                    $inserted = vm_inserted_key($t, $store);
                    $store += vm_detail_master_values($t, $store);   // a generated key: the details' links, the mail
                    vm_detail_save($t, $store, $detailChanges);
                    vm_db()->commit();
                    vm_audit_change($t, 'add', $inserted, $store);
                    vm_detail_audit($detailChanges);
                    vm_notify_change($t, 'add', $store);
                    vm_flash('AddSuccess');
                    vm_redirect(vm_return_url($t, 'add', vm_after_save_url($t, $master)));
                } catch (PDOException $e) {
                    if (vm_db()->inTransaction()) {
                        vm_db()->rollBack();
                    }
                    array_map('vm_upload_remove', $stored);
                    $message = vm_save_error($e, $t, $store) ?? throw $e;
                }
            }
        } else {
            $message = vm_phrase('FormErrors');
        }
    } else {
        foreach ($cols as $col) {
            $f = $t['fields'][$col];
            if ($source !== null) {
                $values[$col] = ($f['tag'] === 'PASSWORD' || vm_is_upload_field($f)) ? '' : vm_str($source[$col] ?? null);
            } else {
                $values[$col] = $f['default'] === null ? '' : vm_str($f['default']);
            }
        }
        if ($master !== null) {
            foreach ($master[2] as $col => $v) {
                $values[$col] = $v;
            }
        }
    }
    $action = $copy ? vm_url(vm_page_file($t, 'add'), ['copy' => '1', 'key' => vm_request_key($t)] + vm_master_params($master))
        : vm_url(vm_page_file($t, 'add'), vm_master_params($master));
    vm_header($t['caption'] . ' - ' . vm_phrase($copy ? 'Copy' : 'Add'));
    vm_form_render($t, $cols, $values, $errors, $action, $message, [], null, vm_after_save_url($t, $master),
        vm_detail_form_html($t, 'add', null, null, $grids ?? null), $confirm ?? false);
    vm_footer();
}

function vm_page_edit(array $t): void
{
    $key = vm_request_key($t);
    $row = vm_fetch_row($t, $key);
    if ($row === null) {
        throw new VmHttpError(404, 'NoRecord');
    }
    $cols = vm_form_columns($t, 'edit');
    $master = vm_request_master($t);
    $errors = [];
    $message = '';
    $hash = vm_row_hash($t, $row);
    if (vm_method() === 'POST') {
        [$values, $store, $errors, $files] = vm_form_read($t, $cols, 'edit', $row);
        [$grids, $detailChanges, $detailErrors] = vm_detail_form_read($t, 'edit', $row);
        if ($detailErrors) {
            $errors['_details'] = vm_phrase('FormErrors');
        }
        $step = $errors === [] ? vm_form_step($t, $cols, 'edit') : 'save';
        if ($errors !== [] || $step !== 'save') {
            $message = $errors !== [] ? vm_phrase('FormErrors') : '';
            $confirm = $step === 'confirm';
            if ($t['concurrency']) {
                $hash = vm_post('_rowhash');
            }
        } else {
            $message = vm_save_edit($t, $key, $store, $files, $master, $detailChanges);
            if ($message === vm_phrase('RecordChanged')) {
                http_response_code(409);
                // the form now shows what is stored, so a second save is a deliberate overwrite
                $row = vm_fetch_row($t, $key) ?? $row;
                $hash = vm_row_hash($t, $row);
                $values = vm_form_values($t, $cols, $row);
            }
        }
    } else {
        $values = vm_form_values($t, $cols, $row);
    }
    $hidden = $t['concurrency'] ? ['_rowhash' => $hash] : [];
    vm_header($t['caption'] . ' - ' . vm_phrase('Edit'));
    vm_form_render($t, $cols, $values, $errors, vm_record_url($t, 'edit', $key, vm_master_params($master)),
        $message, $hidden, $row, vm_after_save_url($t, $master), vm_detail_form_html($t, 'edit', $row, $key, $grids ?? null),
        $confirm ?? false);
    vm_footer();
}

/** The form values of a stored row. */
function vm_form_values(array $t, array $cols, array $row): array
{
    $values = [];
    foreach ($cols as $col) {
        $values[$col] = $t['fields'][$col]['tag'] === 'PASSWORD' ? '' : vm_str($row[$col] ?? null);
    }
    return $values;
}

/** Saves an edited record; redirects on success, else returns the message. */
function vm_save_edit(array $t, array $key, array $store, array $files, ?array $master, array $detailChanges = []): string
{
    $db = vm_db();
    $stored = [];
    $replaced = [];
    $db->beginTransaction();
    try {
        $current = vm_fetch_row($t, $key);
        if ($current === null) {
            $db->rollBack();
            throw new VmHttpError(404, 'NoRecord');
        }
        if ($t['concurrency'] && !hash_equals(vm_row_hash($t, $current), vm_post('_rowhash'))) {
            $db->rollBack();
            return vm_phrase('RecordChanged');
        }
        if (!vm_hook_allows('row_updating', $store)) {
            $db->rollBack();
            return vm_phrase('UpdateCancelled');
        }
        $stored = vm_upload_values($t, $files, $store);
        foreach (array_keys($store) as $col) {
            $f = $t['fields'][$col];
            if (vm_is_upload_field($f) && !vm_is_blob_field($f)) {
                $replaced[] = vm_str($current[$col] ?? null);   // a file replaced or removed
            }
        }
        if ($store !== []) {
            $sets = [];
            foreach (array_keys($store) as $col) {
                $sets[] = vm_qi($col) . ' = ?';
            }
            [$where, $params] = vm_key_where($t, $key);
            vm_query('UPDATE ' . vm_qt($t['name']) . ' SET ' . implode(', ', $sets) . ' WHERE ' . $where,
                array_merge(array_values($store), $params));
        }
        vm_detail_save($t, $store + $current, $detailChanges);
        $db->commit();
        vm_audit_change($t, 'edit', $key, $store, $current);
        vm_detail_audit($detailChanges);
    } catch (PDOException $e) {
        if ($db->inTransaction()) {
            $db->rollBack();
        }
        array_map('vm_upload_remove', $stored);
        return vm_save_error($e, $t, $store) ?? throw $e;
    }
    array_map('vm_upload_remove', $replaced);
    vm_notify_change($t, 'edit', $store, $current);
    vm_flash('EditSuccess');
    vm_redirect(vm_return_url($t, 'edit', vm_after_save_url($t, $master)));
}

function vm_insert(array $t, array $store): void
{
    $table = vm_qt($t['name']);
    if ($store === []) {
        vm_query(vm_driver() === 'mysql' ? 'INSERT INTO ' . $table . ' () VALUES ()'
            : 'INSERT INTO ' . $table . ' DEFAULT VALUES');
        return;
    }
    $sql = 'INSERT INTO ' . $table . ' (' . implode(', ', array_map('vm_qi', array_keys($store))) . ') VALUES ('
        . implode(', ', array_fill(0, count($store), '?')) . ')';
    vm_query($sql, array_values($store));
}

/** The record form. */
function vm_form_render(array $t, array $cols, array $values, array $errors, string $action, string $message,
    array $hidden, ?array $row, string $cancelUrl, string $details = '', bool $confirm = false): void
{
    if ($message !== '') {
        echo '<p class="vm-message vm-error" role="alert">', vm_h($message), "</p>\n";
    }
    echo vm_form_notes($t, $cols, $confirm);
    $multipart = false;
    foreach ($cols as $col) {
        $multipart = $multipart || vm_is_upload_field($t['fields'][$col]);
    }
    echo '<form method="post" action="', vm_h($action), '" class="vm-form"',
        $multipart ? ' enctype="multipart/form-data"' : '', ">\n", vm_csrf_field(), "\n";
    foreach ($hidden as $name => $v) {
        echo '<input type="hidden" name="', vm_h($name), '" value="', vm_h($v), "\">\n";
    }
    // the fields by page (FldPageIndex) when the form has several
    $pages = vm_form_pages($t, $cols, $row === null ? 'add' : 'edit');
    $page = 0;
    echo vm_form_pages_open($t, $pages);
    foreach (array_keys(vm_field_page_numbers($pages)) as $col) {
        $f = $t['fields'][$col];
        echo vm_page_switch($t, $pages, $col, $page);
        $name = 'f[' . $col . ']';
        $value = $values[$col] ?? '';
        if ($f['tag'] === 'HIDDEN') {
            echo '<input type="hidden" name="', vm_h($name), '" value="', vm_h($value), "\">\n";
            continue;
        }
        if ($confirm) {
            echo vm_confirm_field_html($f, $col, $value, $values);
            continue;
        }
        $id = 'f_' . preg_replace('/[^A-Za-z0-9_]/', '_', $col);
        $error = $errors[$col] ?? '';
        echo '<div class="vm-field', $error !== '' ? ' vm-invalid' : '', '">',
            '<label for="', vm_h($id), '">', vm_h($f['caption']),
            $f['required'] ? ' <span class="vm-required" title="' . vm_ph('Required') . '">*</span>' : '',
            '</label><div class="vm-control">';
        vm_form_control($f, $col, $name, $id, $value, $row, $error !== '', $t, $values);
        if ($error !== '') {
            echo '<span class="vm-field-error" id="', vm_h($id), '_error">', vm_h($error), '</span>';
        }
        echo "</div></div>\n";
    }
    echo vm_pages_end($t, $pages, $page);
    if ($confirm) {
        echo vm_confirm_buttons($cancelUrl), "</form>\n", vm_form_script();
        return;
    }
    echo $details, '<div class="vm-buttons"><button type="submit">', vm_ph('Save'), '</button> ',
        vm_link($cancelUrl, vm_phrase('Cancel')), "</div>\n</form>\n", vm_form_script();
}

/** One control of the record form; $t and $values (the form's values) serve cascading lookups. */
function vm_form_control(array $f, string $col, string $name, string $id, string $value, ?array $row, bool $invalid,
    ?array $t = null, array $values = []): void
{
    $aria = $invalid ? ' aria-invalid="true" aria-describedby="' . vm_h($id) . '_error"' : '';
    $req = $f['required'] && !vm_is_bool_field($f) && !$f['form']['readonly'] ? ' required' : '';
    $max = vm_max_length($f) > 0 ? ' maxlength="' . vm_max_length($f) . '"' : '';
    if ($f['form']['auto'] !== '' && vm_auto_value($f['form']['auto']) !== null) {
        echo '<output id="', vm_h($id), '" class="vm-auto">', $value !== '' ? vm_h($value) : vm_ph('AutoValue'), '</output>';
        return;   // the server sets it on saving
    }
    if (vm_is_upload_field($f)) {
        $current = $row !== null && vm_upload_stored($f, $row[$col] ?? null);
        $many = $f['form']['multi_upload'] && !vm_is_blob_field($f);
        if ($current) {
            echo '<span class="vm-file-current">', $many ? vm_h(vm_phrase_fill('FilesStored',
                ['count' => count(explode(',', vm_str($row[$col])))])) : vm_ph('FileStored'), '</span> ';
        }
        $accept = implode(',', array_map(static fn($e) => '.' . strtolower((string) $e),
            (array) vm_config()['upload']['extensions']));
        echo '<input type="file" id="', vm_h($id), '" name="vmfile[', vm_h($col), ']', $many ? '[]" multiple' : '"',
            ' accept="', vm_h($accept), '"', $current ? '' : $req, $f['form']['readonly'] ? ' disabled' : '',
            $many && $f['form']['max_files'] > 0 ? ' data-vm-max-files="' . (int) $f['form']['max_files'] . '"' : '', $aria, '>';
        if ($current && $f['nullable'] && !$f['required']) {
            echo ' <label class="vm-file-remove"><input type="checkbox" name="vmremove[', vm_h($col), ']" value="1"> ',
                vm_ph('RemoveFile'), '</label>';
        }
        return;
    }
    if ($f['tag'] === 'CHECKBOX' && vm_is_bool_field($f)) {
        echo '<input type="hidden" name="', vm_h($name), '" value="0">',
            '<input type="checkbox" id="', vm_h($id), '" name="', vm_h($name), '" value="1"',
            vm_is_true($value) ? ' checked' : '', vm_control_attributes($f, 'choice'), $aria, '>';
        return;
    }
    if ($f['lookup'] !== null || in_array($f['tag'], ['SELECT', 'RADIO', 'CHECKBOX'], true) && $f['values'] !== []) {
        $options = $t !== null ? vm_form_options($f, $values) : vm_field_options($f);
        if ($f['tag'] === 'RADIO' || $f['tag'] === 'CHECKBOX') {
            $multi = $f['tag'] === 'CHECKBOX';
            $chosen = $multi ? explode(',', $value) : [$value];
            echo '<fieldset class="vm-choices" id="', vm_h($id), '"', $aria, '>';
            foreach ($options as $i => [$v, $label]) {
                echo '<label><input type="', $multi ? 'checkbox' : 'radio', '" name="', vm_h($name), $multi ? '[]' : '',
                    '" value="', vm_h($v), '"', in_array($v, $chosen, true) ? ' checked' : '',
                    !$multi && $i === 0 ? $req : '', vm_control_attributes($f, 'choice'), '> ', vm_h($label), '</label> ';
            }
            echo '</fieldset>';
            return;
        }
        $many = vm_is_multi_choice($f);
        $chosen = $many ? explode(',', $value) : [$value];
        echo '<select id="', vm_h($id), '" name="', vm_h($name), $many ? '[]" multiple' : '"', $req,
            vm_control_attributes($f, 'select'), $t !== null ? vm_lookup_attributes($t, $f, $col) : '', $aria, '>',
            $many ? '' : '<option value="">' . vm_ph('PleaseSelect') . '</option>';
        foreach ($options as [$v, $label]) {
            echo '<option value="', vm_h($v), '"', in_array($v, $chosen, true) ? ' selected' : '', '>', vm_h($label), '</option>';
        }
        echo '</select>', $t !== null ? vm_lookup_add_button($t, $f, $col, $id) : '';
        return;
    }
    if ($f['tag'] === 'TEXTAREA') {
        echo '<textarea id="', vm_h($id), '" name="', vm_h($name), '" rows="', $f['form']['rows'] > 0 ? (int) $f['form']['rows'] : 4,
            '"', $f['form']['html'] ? ' class="vm-richtext" data-vm-editor="html"' : '', $req, $max,
            vm_control_attributes($f, 'textarea'), $aria, '>', vm_h($value), '</textarea>';
        return;
    }
    $type = 'text';
    $extra = '';
    if ($f['tag'] === 'PASSWORD') {
        $type = 'password';
        $extra = ' autocomplete="new-password"';
        $req = $row === null ? $req : '';
    } elseif ($f['validate'] === 'email') {
        $type = 'email';
    } elseif ($f['validate'] === 'url') {
        $type = 'url';
    } elseif (in_array($f['type'], ['int', 'float', 'decimal'], true) || in_array($f['validate'], ['integer', 'number'], true)) {
        $extra = ' inputmode="' . ($f['type'] === 'int' || $f['validate'] === 'integer' ? 'numeric' : 'decimal') . '"';
    } elseif (in_array($f['type'], ['date', 'datetime', 'time'], true) && $f['form']['calendar']) {
        $type = match ($f['type']) { 'date' => 'date', 'datetime' => 'datetime-local', default => 'time' };
        $extra = $f['type'] === 'date' ? '' : ' step="1"';   // seconds too
        $value = vm_calendar_value($f, $value);
    } elseif (in_array($f['type'], ['date', 'datetime', 'time'], true)) {
        $extra = ' placeholder="' . vm_ph(match ($f['type']) {
            'date' => 'DateHint', 'datetime' => 'DateTimeHint', default => 'TimeHint',
        }) . '"';
    }
    echo '<input type="', $type, '" id="', vm_h($id), '" name="', vm_h($name), '" value="',
        $type === 'password' ? '' : vm_h($value), '"', $req, $max, $extra, vm_control_attributes($f, 'text'), $aria, '>';
}
