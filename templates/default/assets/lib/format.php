<?php
declare(strict_types=1);

/** Turning stored values into displayed text. */

function vm_is_true(mixed $v): bool
{
    if (is_bool($v)) {
        return $v;
    }
    // b'1' is how MySQL writes the default of a BIT column
    return in_array(strtolower(trim(vm_str($v))), ['1', 't', 'true', 'y', 'yes', 'on', "b'1'"], true);
}

/** True for a field displayed as yes/no. */
function vm_is_bool_field(array $f): bool
{
    return $f['type'] === 'bool' || ($f['tag'] === 'CHECKBOX' && $f['values'] === [] && $f['lookup'] === null);
}

/** The label of a value among the field's fixed values, or null. */
function vm_value_label(array $f, string $v): ?string
{
    foreach ($f['values'] as $pair) {
        $pair = array_values((array) $pair);
        if (isset($pair[0]) && vm_str($pair[0]) === $v) {
            return vm_str($pair[1] ?? $pair[0]);
        }
    }
    return null;
}

/**
 * The displayed text of a value (not escaped): lookups by their label, fixed values by theirs,
 * booleans as Yes/No, numbers and dates by the field's format.
 * $labels holds this field's lookup labels (value => label).
 */
function vm_display_text(array $f, mixed $value, array $labels = []): string
{
    if ($value === null) {
        return '';
    }
    $v = vm_str($value);
    if ($f['tag'] === 'PASSWORD') {
        return $v === '' ? '' : '********';
    }
    if ($f['lookup'] !== null) {
        return $labels[$v] ?? $v;
    }
    if ($f['values'] !== []) {
        if ($f['tag'] === 'CHECKBOX' && $f['type'] !== 'bool') {
            $parts = [];
            foreach (explode(',', $v) as $one) {
                $parts[] = vm_value_label($f, $one) ?? $one;
            }
            return implode(', ', $parts);
        }
        $label = vm_value_label($f, $v);
        if ($label !== null) {
            return $label;
        }
    }
    if (vm_is_bool_field($f)) {
        return vm_phrase(vm_is_true($value) ? 'Yes' : 'No');
    }
    if ($f['type'] === 'binary') {
        return vm_blob_summary($value) === null ? '' : '[' . vm_phrase('BinaryData') . ']';
    }
    return vm_format($f['format'], $v, (string) $f['date_format']);
}

/** $datePattern: a date() pattern the field asks for; '' for the language's own. */
function vm_format(string $format, string $v, string $datePattern = ''): string
{
    $lang = vm_lang();
    $dp = $lang->Locale('decimal_point', '.');
    $ts = $lang->Locale('thousands_sep', ',');
    switch ($format) {
        case 'currency':
            if (is_numeric($v)) {
                $n = number_format((float) $v, 2, $dp, $ts);
                return strtr($lang->Locale('currency_format', '{symbol}{amount}'),
                    ['{symbol}' => $lang->Locale('currency_symbol', '$'), '{amount}' => $n]);
            }
            break;
        case 'number':
            if (is_numeric($v)) {
                $decimals = str_contains($v, '.') || str_contains(strtolower($v), 'e') ? 2 : 0;
                return number_format((float) $v, $decimals, $dp, $ts);
            }
            break;
        case 'percent':
            if (is_numeric($v)) {
                return number_format((float) $v * 100, 2, $dp, $ts) . '%';
            }
            break;
        case 'date':
        case 'datetime':
            $time = strtotime($v);
            if ($time !== false && preg_match('/^\d{4}-\d{2}-\d{2}/', $v)) {
                $pattern = $datePattern !== '' ? $datePattern
                    : ($format === 'date' ? $lang->Locale('date_format', 'Y-m-d')
                        : $lang->Locale('datetime_format', 'Y-m-d H:i:s'));
                return date($pattern, $time);
            }
            break;
    }
    return $v;
}

/** The table cells of a row's listed columns; $labels holds lookup labels by column. Long texts are
 * cut to their beginning, which the view page shows in full. */
function vm_cells_html(array $t, array $cols, array $row, array $labels): string
{
    $html = '';
    foreach ($cols as $col) {
        $f = $t['fields'][$col];
        $value = $row[$col] ?? null;
        if (vm_is_blob_field($f)) {
            $html .= '<td>' . vm_blob_html($t, $col, $row) . '</td>';
            continue;
        }
        if ($f['type'] === 'text' && $f['lookup'] === null && $f['values'] === []
            && preg_match('/^(.{100}).{2,}/us', vm_str($value), $m)) {
            $value = rtrim($m[1]) . '…';
        }
        $html .= '<td' . vm_align_class($f) . '>' . vm_display_html($f, $value, $labels[$col] ?? []) . '</td>';
    }
    return $html;
}

/**
 * A binary column's content on a page: a thumbnail of an image (png, jpeg, gif, webp, told by its
 * first bytes), else a download link, both through the view page; nothing when none is stored.
 */
function vm_blob_html(array $t, string $col, array $row): string
{
    $f = $t['fields'][$col];
    $blob = vm_blob_summary($row[$col] ?? null);
    if ($blob === null) {
        return '';
    }
    if (!vm_has_page($t, 'view') || !vm_row_has_key($t, $row)) {
        return vm_display_html($f, $row[$col]);
    }
    $url = vm_record_url($t, 'view', vm_row_key($t, $row), ['download' => $col]);
    if (vm_image_type($blob[1]) === '') {
        return vm_link($url, vm_phrase('Download'));
    }
    return '<a href="' . vm_h($url) . '"><img class="vm-thumb" src="' . vm_h($url) . '" alt="' . vm_h($f['caption'])
        . '" loading="lazy"></a>';
}

/** The displayed value, escaped for HTML. */
function vm_display_html(array $f, mixed $value, array $labels = []): string
{
    $text = vm_display_text($f, $value, $labels);
    if ($f['tag'] === 'TEXTAREA') {
        return nl2br(vm_h($text), false);
    }
    return vm_h($text);
}
