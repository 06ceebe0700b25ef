<?php
declare(strict_types=1);

/**
 * The audit trail: logins and logouts, and every add, edit and delete of an audited table, one
 * entry per field with its old and new value, the user, the time and the page. Written to the
 * table config 'audit.table' names, else to a file (config 'audit.file').
 */

/** Columns of an audit table, in the order of an entry. */
const VM_AUDIT_COLUMNS = ['audit_time', 'page', 'user_name', 'action', 'table_name', 'field_name', 'key_value',
    'old_value', 'new_value'];

/**
 * The audit file: audit.log in the folder config 'audit.file' names (AuditTrailPath, relative to
 * the application, made by the generator), else in data/. Files ending in .log are never served.
 */
function vm_audit_file(): string
{
    $folder = trim(str_replace('\\', '/', trim((string) vm_config()['audit']['file'])), '/');
    if ($folder === '') {
        return VM_APP_DIR . '/data/audit.log';
    }
    $absolute = str_starts_with((string) vm_config()['audit']['file'], '/') || preg_match('#^[A-Za-z]:/#', $folder);
    return ($absolute ? '/' . $folder : VM_APP_DIR . '/' . $folder) . '/audit.log';
}

/** Writes entries [action, table, key, field, old, new]; a failure is logged, the page goes on. */
function vm_audit_write(array $entries): void
{
    if ($entries === []) {
        return;
    }
    $common = [date('Y-m-d H:i:s'), basename((string) ($_SERVER['SCRIPT_NAME'] ?? '')), vm_user() !== '' ? vm_user() : '-'];
    $rows = [];
    foreach ($entries as [$action, $table, $key, $field, $old, $new]) {
        $rows[] = array_combine(VM_AUDIT_COLUMNS, [$common[0], $common[1], $common[2], $action, $table, $field, $key, $old, $new]);
    }
    $table = (string) vm_config()['audit']['table'];
    try {
        if ($table !== '') {
            $sql = 'INSERT INTO ' . vm_qt_main($table) . ' (' . implode(', ', array_map('vm_qi_main', VM_AUDIT_COLUMNS))
                . ') VALUES (' . implode(', ', array_fill(0, count(VM_AUDIT_COLUMNS), '?')) . ')';
            foreach ($rows as $row) {
                vm_query_main($sql, array_values($row));
            }
            return;
        }
        $file = vm_audit_file();
        $text = '';
        foreach ($rows as $row) {
            $text .= json_encode($row, JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE) . "\n";
        }
        if (@file_put_contents($file, $text, FILE_APPEND | LOCK_EX) === false) {
            throw new RuntimeException('cannot write ' . $file);
        }
    } catch (Throwable $e) {
        error_log('velmora error: audit trail not written: ' . $e->getMessage());
    }
}

/** A login, a failed login or a logout, when the project audits them. */
function vm_audit_login(string $action, string $login): void
{
    if (vm_config()['audit']['login']) {
        vm_audit_write([[$action, '', $login, '', '', '']]);
    }
}

/** A value as the audit trail keeps it: passwords hidden, binary content as its size. */
function vm_audit_value(array $f, mixed $v): string
{
    if ($v === null) {
        return '';
    }
    if ($f['tag'] === 'PASSWORD') {
        return '********';
    }
    if (vm_is_blob_field($f)) {
        return is_resource($v) ? '[binary]' : '[binary ' . strtok(vm_str($v), ':') . ' bytes]';
    }
    return is_bool($v) ? ($v ? '1' : '0') : vm_str($v);
}

/**
 * A change of a row of an audited table: 'add' with the new values, 'edit' with the values
 * before and those stored (only the fields that changed), 'delete' with the row as it was.
 */
function vm_audit_change(array $t, string $action, array $key, array $new, ?array $old = null): void
{
    if (!$t['audit']) {
        return;
    }
    $keyText = implode(',', array_map('vm_str', $key));
    $entries = [];
    $fields = $action === 'delete' ? ($old ?? []) : $new;
    foreach ($fields as $col => $v) {
        $f = $t['fields'][$col] ?? null;
        if ($f === null) {
            continue;
        }
        $before = $action === 'add' ? '' : vm_audit_value($f, $old[$col] ?? null);
        $after = $action === 'delete' ? '' : vm_audit_value($f, $v);
        if ($action === 'edit' && $before === $after && $f['tag'] !== 'PASSWORD') {
            continue;
        }
        $entries[] = [$action, $t['name'], $keyText, (string) $col, $before, $after];
    }
    vm_audit_write($entries);
}

/** The newest entries of the audit file, newest first. */
function vm_audit_read(int $limit): array
{
    $file = vm_audit_file();
    if (!is_file($file)) {
        return [];
    }
    $h = fopen($file, 'rb');
    $size = filesize($file);
    $chunk = min($size, 4 << 20);   // enough for the last entries without reading a large file whole
    fseek($h, $size - $chunk);
    $lines = explode("\n", (string) fread($h, $chunk));
    fclose($h);
    $out = [];
    foreach (array_reverse($lines) as $line) {
        $entry = json_decode($line, true);
        if (is_array($entry)) {
            $out[] = $entry;
            if (count($out) >= $limit) {
                break;
            }
        }
    }
    return $out;
}

/** The key of a row just added: from the values stored, else the number the database gave it. */
function vm_inserted_key(array $t, array $store): array
{
    $key = [];
    if (!$t['audit']) {
        return $key;
    }
    foreach ($t['key'] as $col) {
        if (isset($store[$col]) && !is_resource($store[$col])) {
            $key[$col] = vm_str($store[$col]);
        } elseif (count($t['key']) === 1 && $t['fields'][$col]['autoinc']) {
            try {
                $key[$col] = (string) vm_db()->lastInsertId();
            } catch (PDOException) {
                $key[$col] = '';   // PostgreSQL without a sequence behind the column
            }
        }
    }
    return $key;
}
