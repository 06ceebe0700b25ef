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
        if (vm_is_multi_choice($f)) {   // several choices, stored as a comma list
            return implode(', ', array_map(static fn($one) => $labels[$one] ?? $one, explode(',', $v)));
        }
        return $labels[$v] ?? $v;
    }
    if ($f['values'] !== []) {
        if (($f['tag'] === 'CHECKBOX' && $f['type'] !== 'bool') || !empty($f['form']['multiple'])) {
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
    return vm_format($f['format'], $v, (string) $f['date_format'], vm_show($f));
}

/** A field's display settings ('show'), every key present. */
function vm_show(array $f): array
{
    return array_replace(['view_tag' => 'text', 'digits' => null, 'lead' => -2, 'paren' => -2, 'group' => -2,
        'href' => '', 'prefix' => '', 'suffix' => '', 'target' => '', 'thumb' => false, 'tooltip' => '',
        'aggregate' => '', 'multi_update' => true, 'class' => ''], is_array($f['show'] ?? null) ? $f['show'] : []);
}

/**
 * A number with $digits decimals, as $num says: 'lead' 0 drops the 0 before the point, 'paren' -1
 * puts a negative number in parentheses, 'group' 0 leaves out the thousands separator (-2: the
 * language's way).
 */
function vm_number_text(float $n, int $digits, array $num, string $dp, string $ts): string
{
    $text = number_format(abs($n), $digits, $dp, ($num['group'] ?? -2) === 0 ? '' : $ts);
    if (($num['lead'] ?? -2) === 0 && str_starts_with($text, '0' . $dp)) {
        $text = substr($text, 1);
    }
    if ($n < 0 && round(abs($n), $digits) != 0) {
        $text = ($num['paren'] ?? -2) === -1 ? '(' . $text . ')' : '-' . $text;
    }
    return $text;
}

/** $datePattern: a date() pattern the field asks for; '' for the language's own. $num: the field's
 * number settings (vm_show: digits, lead, paren, group). */
function vm_format(string $format, string $v, string $datePattern = '', array $num = []): string
{
    $lang = vm_lang();
    $dp = $lang->Locale('decimal_point', '.');
    $ts = $lang->Locale('thousands_sep', ',');
    $digits = isset($num['digits']) ? (int) $num['digits'] : null;
    switch ($format) {
        case 'currency':
            if (is_numeric($v)) {
                $amount = vm_number_text((float) $v, $digits ?? 2, $num, $dp, $ts);
                $paren = str_starts_with($amount, '(');
                $n = strtr($lang->Locale('currency_format', '{symbol}{amount}'),
                    ['{symbol}' => $lang->Locale('currency_symbol', '$'), '{amount}' => trim($amount, '()')]);
                return $paren ? '(' . $n . ')' : $n;
            }
            break;
        case 'number':
            if (is_numeric($v)) {
                $decimals = $digits ?? (str_contains($v, '.') || str_contains(strtolower($v), 'e') ? 2 : 0);
                return vm_number_text((float) $v, $decimals, $num, $dp, $ts);
            }
            break;
        case 'percent':
            if (is_numeric($v)) {
                return vm_number_text((float) $v * 100, $digits ?? 2, $num, $dp, $ts) . '%';
            }
            break;
        case 'date':
        case 'datetime':
            $time = strtotime($v);
            // a time alone only by a pattern of the field's (which would otherwise add today's date)
            if ($time !== false && (preg_match('/^\d{4}-\d{2}-\d{2}/', $v)
                || ($datePattern !== '' && preg_match('/^\d{2}:\d{2}/', $v)))) {
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
        $html .= '<td' . (vm_is_blob_field($f) ? '' : vm_cell_attr($f)) . '>'
            . vm_field_html($t, $col, $row, $labels[$col] ?? [], true) . '</td>';
    }
    return $html;
}

/** The class attribute of a field's display settings (bold, width, ...), or ''. */
function vm_show_class(array $f): string
{
    $class = (string) vm_show($f)['class'];
    return $class !== '' && preg_match('/^[A-Za-z0-9_-]+$/D', $class) ? ' class="' . $class . '"' : '';
}

/** The class attribute of a field's cell: its alignment and the class of its display settings. */
function vm_cell_attr(array $f): string
{
    $attr = vm_align_class($f);
    $extra = (string) vm_show($f)['class'];
    if ($extra === '' || !preg_match('/^[A-Za-z0-9_-]+$/D', $extra)) {
        return $attr;
    }
    return $attr === '' ? ' class="' . $extra . '"' : substr($attr, 0, -1) . ' ' . $extra . '"';
}

/**
 * A field's value on a list or record page, escaped: formatted, as an image, a link or with a
 * tooltip as the field's display settings say. $cut shortens a long text (lists; the view page
 * shows it whole).
 */
function vm_field_html(array $t, string $col, array $row, array $labels, bool $cut = false): string
{
    $f = $t['fields'][$col];
    if (vm_is_blob_field($f)) {
        return vm_blob_html($t, $col, $row);
    }
    $s = vm_show($f);
    $value = $row[$col] ?? null;
    if ($s['view_tag'] === 'image') {
        $html = vm_image_html($t, $col, $row, $s);
    } else {
        if ($cut && $f['type'] === 'text' && $f['lookup'] === null && $f['values'] === []
            && preg_match('/^(.{100}).{2,}/us', vm_str($value), $m)) {
            $value = rtrim($m[1]) . '…';
        }
        $html = vm_display_html($f, $value, $labels);
        $href = vm_field_href($t, $s, $row, $row[$col] ?? null);
        if ($href !== null && $html !== '') {
            $html = '<a href="' . vm_h($href) . '"' . vm_link_target($s['target']) . '>' . $html . '</a>';
        }
    }
    $tip = vm_readable_field($t, (string) $s['tooltip']) ? vm_display_text($t['fields'][$s['tooltip']],
        $row[$s['tooltip']] ?? null) : '';
    if ($tip !== '' && $html !== '') {
        $html = '<span class="vm-tip" tabindex="0">' . $html . '<span class="vm-tip-text" role="tooltip">'
            . vm_h($tip) . '</span></span>';
    }
    return $html;
}

/** True for a column of the table whose value a page may show in another field's link or tooltip. */
function vm_readable_field(array $t, string $col): bool
{
    $f = $t['fields'][$col] ?? null;
    return $f !== null && $f['tag'] !== 'PASSWORD' && !vm_is_blob_field($f) && !vm_is_upload_field($f);
}

/**
 * The URL a field's value links to: the FldHrefFld column's value (else, with a prefix such as
 * mailto:, the value itself) between the prefix and suffix; null for none, or for a scheme other
 * than http, https, mailto, ftp and tel (no javascript: or data: links).
 */
function vm_field_href(array $t, array $s, array $row, mixed $value): ?string
{
    if ($s['href'] !== '') {
        if (!vm_readable_field($t, (string) $s['href'])) {
            return null;
        }
        $target = vm_str($row[$s['href']] ?? null);
    } elseif ($s['prefix'] !== '') {
        $target = vm_str($value);
    } else {
        return null;
    }
    return vm_safe_url((string) $s['prefix'] . $target . (string) $s['suffix']);
}

function vm_safe_url(string $url): ?string
{
    $url = trim($url);
    if ($url === '' || preg_match('/[\x00-\x1f\x7f\\\\]/', $url)) {
        return null;
    }
    if (preg_match('/^([A-Za-z][A-Za-z0-9+.-]*):/', $url, $m)) {
        return in_array(strtolower($m[1]), ['http', 'https', 'mailto', 'ftp', 'tel'], true) ? $url : null;
    }
    return $url;
}

/** The target attribute of a field's links (a window name or _blank, _self, _parent, _top). */
function vm_link_target(string $target): string
{
    if (!preg_match('/^[A-Za-z0-9_]{1,40}$/D', $target)) {
        return '';
    }
    return ' target="' . $target . '"' . (strtolower($target) === '_blank' ? ' rel="noopener noreferrer"' : '');
}

/**
 * A field shown as an image: an uploaded file through the view page, else the value as the
 * image's address; with a thumbnail, the image links to itself shown whole.
 */
function vm_image_html(array $t, string $col, array $row, array $s): string
{
    $f = $t['fields'][$col];
    $stored = vm_str($row[$col] ?? null);
    if ($stored === '') {
        return '';
    }
    if (vm_is_upload_field($f)) {
        if (!vm_has_page($t, 'view') || !vm_row_has_key($t, $row)) {
            return vm_h($stored);
        }
        $src = vm_record_url($t, 'view', vm_row_key($t, $row), ['download' => $col, 'inline' => '1']);
    } else {
        $src = vm_safe_url($stored);
        if ($src === null) {
            return vm_h($stored);
        }
    }
    $img = '<img class="vm-img' . ($s['thumb'] ? ' vm-thumb' : '') . '" src="' . vm_h($src) . '" alt="'
        . vm_h($f['caption']) . '" loading="lazy">';
    return $s['thumb'] ? '<a href="' . vm_h($src) . '">' . $img . '</a>' : $img;
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
    if (!empty($f['form']['html']) && $value !== null) {
        return '<div class="vm-rich">' . vm_rich_html(vm_str($value)) . '</div>';   // rich text, cleaned
    }
    $text = vm_display_text($f, $value, $labels);
    if ($f['tag'] === 'TEXTAREA' || (!empty($f['form']['crlf']) && $f['type'] === 'text')) {
        return nl2br(vm_h($text), false);
    }
    return vm_h($text);
}
