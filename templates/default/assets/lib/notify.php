<?php
declare(strict_types=1);

/**
 * E-mail to the project's recipients (config 'mail') when a record of a table that asks for it
 * ('mail' => ['add' => .., 'edit' => .., 'delete' => ..]) is added, changed or deleted.
 */

require_once __DIR__ . '/mail.php';

/**
 * Tells about a change: $op add, edit or delete; $values the values stored (add, edit) or the
 * record deleted; $before the record before an edit. An edit lists only the values that
 * changed, as "old -> new". A mail that cannot be sent is only logged: the change is made.
 */
function vm_notify_change(array $t, string $op, array $values, ?array $before = null): void
{
    $to = vm_config()['mail']['recipients'] ?? [];
    if (empty($t['mail'][$op]) || !is_array($to) || $to === []) {
        return;
    }
    try {
        if ($op === 'add' && count($t['key']) === 1 && !array_key_exists($t['key'][0], $values)) {
            try {   // the number the database gave the new record
                $id = vm_db()->lastInsertId();
                if ($id !== false && $id !== '' && $id !== '0') {
                    $values[$t['key'][0]] = $id;
                }
            } catch (PDOException) {
            }
        }
        $lines = [];
        foreach ($t['fields'] as $col => $f) {
            if (!array_key_exists($col, $values) || ($op === 'delete' && !$f['view'] && !in_array($col, $t['key'], true))) {
                continue;
            }
            $text = vm_notify_text($f, $values[$col], $before !== null ? ($before[$col] ?? null) : null, $before !== null);
            if ($text !== '') {
                $lines[] = $f['caption'] . ': ' . $text;
            }
        }
        if ($op === 'edit') {
            $lines = array_values(array_filter($lines, static fn($l) => str_contains($l, ' -> ')));
            if ($lines === []) {
                return;
            }
            $keyLines = [];
            foreach ($t['key'] as $col) {
                $keyLines[] = $t['fields'][$col]['caption'] . ': ' . vm_str($before[$col] ?? null);
            }
            $lines = array_merge($keyLines, $lines);
        }
        if (vm_user() !== '') {
            $lines[] = '';
            $lines[] = vm_phrase_fill('MailByUser', ['user' => vm_user()]);
        }
        $subject = vm_phrase_fill(['add' => 'MailAdded', 'edit' => 'MailEdited', 'delete' => 'MailDeleted'][$op],
            ['table' => $t['caption']]);
        $subject = preg_replace('/[\x00-\x1f\x7f]+/', ' ', $subject) ?? '';
        if (!vm_mail_send(array_values($to), $subject, implode("\n", $lines) . "\n")) {
            error_log('velmora notice: the ' . $op . ' mail of ' . $t['name'] . ' was not sent');
        }
    } catch (Throwable $e) {
        error_log('velmora notice: the ' . $op . ' mail of ' . $t['name'] . ' failed: ' . $e->getMessage());
    }
}

/**
 * A value as the mail shows it: its displayed text; with $compare, "old -> new" when they differ.
 * Passwords and files are never put in a mail.
 */
function vm_notify_text(array $f, mixed $value, mixed $old, bool $compare): string
{
    $show = static function (mixed $v) use ($f): string {
        if ($v === null || $v === '') {
            return '';
        }
        if ($f['tag'] === 'PASSWORD') {
            return '********';
        }
        if (vm_is_upload_field($f) || is_resource($v)) {
            return '[' . vm_phrase('Download') . ']';
        }
        $labels = $f['lookup'] !== null ? vm_lookup_labels($f, [$v]) : [];
        return vm_display_text($f, is_bool($v) ? ($v ? '1' : '0') : $v, $labels);
    };
    $new = $show($value);
    if (!$compare) {
        return $new;
    }
    $was = $show($old);
    if ($f['tag'] === 'PASSWORD' || vm_is_upload_field($f)) {
        return is_resource($value) || vm_str(is_resource($value) ? null : $value) !== vm_str(is_resource($old) ? null : $old)
            ? $was . ' -> ' . $new : $new;
    }
    return $was === $new ? $new : $was . ' -> ' . $new;
}
