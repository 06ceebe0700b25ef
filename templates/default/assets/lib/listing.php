<?php
declare(strict_types=1);

/** How a table's list looks and behaves: page sizes, sorting, pager, row links, totals, cards. */

/** The table's list settings ('lists'), every key present. */
function vm_list_settings(array $t): array
{
    static $cache = [];
    return $cache[$t['var']] ??= array_replace(['multi_delete' => false, 'per_page_list' => [], 'sort' => 1,
        'pager' => 2, 'pager_top' => false, 'pager_bottom' => false, 'row_count' => false, 'blank' => false,
        'links_left' => false, 'buttons' => false, 'dropdown' => false, 'action_dropdown' => false,
        'inline_delete' => false, 'multi_update' => false, 'inline_add' => false, 'inline_copy' => false,
        'inline_edit' => false, 'grid_add' => false, 'grid_edit' => false, 'per_row' => 0, 'class' => ''],
        is_array($t['lists'] ?? null) ? $t['lists'] : []);
}

/**
 * Rows per page, 0 for all: the size the user picked among the table's choices (kept in the
 * session per table), else the table's, else the project's.
 */
function vm_list_per_page(array $t): int
{
    $per = (int) $t['rec_per_page'] > 0 ? (int) $t['rec_per_page'] : (int) vm_config()['rec_per_page'];
    $per = $per > 0 ? $per : 20;
    $choices = array_map('intval', (array) vm_list_settings($t)['per_page_list']);
    if ($choices === []) {
        return $per;
    }
    $asked = trim(vm_get('recperpage'));
    if ($asked !== '') {
        $n = strtoupper($asked) === 'ALL' ? 0 : (ctype_digit($asked) && strlen($asked) < 7 ? (int) $asked : -1);
        if (in_array($n, $choices, true)) {
            $_SESSION['vm_per'][$t['var']] = $n;
        }
    }
    $kept = $_SESSION['vm_per'][$t['var']] ?? null;
    return is_int($kept) && in_array($kept, $choices, true) ? $kept : $per;
}

/**
 * The sort asked for by order=a,b&dir=asc,desc: column => ASC|DESC, listed columns only, the first
 * alone with single sorting, none with sorting off.
 */
function vm_list_sort(array $t): array
{
    $mode = (int) vm_list_settings($t)['sort'];
    if ($mode <= 0) {
        return [];
    }
    $listed = vm_columns_with($t, 'list');
    $dirs = explode(',', vm_get('dir'));
    $out = [];
    foreach (explode(',', vm_get('order')) as $i => $col) {
        if (!in_array($col, $listed, true) || isset($out[$col])) {
            continue;
        }
        $out[$col] = strtolower($dirs[$i] ?? '') === 'desc' ? 'DESC' : 'ASC';
        if ($mode === 1 || count($out) >= 5) {
            break;
        }
    }
    return $out;
}

/** A sort as the order and dir parameters of links. */
function vm_sort_params(array $sort): array
{
    return ['order' => implode(',', array_keys($sort)), 'dir' => strtolower(implode(',', $sort))];
}

/** A column's header: sorts by it alone (again: the other way), and with several columns "+" adds it. */
function vm_sort_header_html(array $t, string $col, array $sort, string $self, array $state): string
{
    $f = $t['fields'][$col];
    $mode = (int) vm_list_settings($t)['sort'];
    if ($mode <= 0) {
        return '<th' . vm_cell_attr($f) . '>' . vm_h($f['caption']) . '</th>';
    }
    $alone = array_keys($sort) === [$col] && $sort[$col] === 'ASC' ? 'DESC' : 'ASC';
    $html = '<th' . vm_cell_attr($f) . '><a href="' . vm_h(vm_url($self, vm_sort_params([$col => $alone]) + $state))
        . '">' . vm_h($f['caption']) . '</a>';
    if (isset($sort[$col])) {
        $html .= $sort[$col] === 'ASC' ? ' &#9650;' : ' &#9660;';
        if (count($sort) > 1) {
            $html .= '<sup class="vm-sortpos">' . (array_search($col, array_keys($sort), true) + 1) . '</sup>';
        }
    }
    if ($mode === 2 && $sort !== [] && array_keys($sort) !== [$col]) {
        $also = $sort;
        $also[$col] = ($sort[$col] ?? 'DESC') === 'ASC' ? 'DESC' : 'ASC';
        $html .= ' <a class="vm-sortalso" href="' . vm_h(vm_url($self, vm_sort_params($also) + $state))
            . '" title="' . vm_h(vm_phrase_fill('SortAlsoBy', ['field' => $f['caption']])) . '" aria-label="'
            . vm_h(vm_phrase_fill('SortAlsoBy', ['field' => $f['caption']])) . '">+</a>';
    }
    return $html . '</th>';
}

/** The pager: the records shown, and next/previous links or the page numbers. */
function vm_pager_html(array $t, string $self, array $state, int $start, int $per, int $total, int $shown): string
{
    $html = '<nav class="vm-pager"><span>' . vm_h(vm_phrase_fill('RecordsFrom',
        ['from' => $start, 'to' => $start + $shown - 1, 'total' => $total])) . '</span> ';
    if ($per <= 0 || $total <= $per) {
        return $html . "</nav>\n";
    }
    $pages = intdiv($total + $per - 1, $per);
    $current = intdiv($start - 1, $per) + 1;
    $at = static fn(int $p) => vm_url($self, $state + ['start' => (string) (($p - 1) * $per + 1)]);
    if ($current > 1) {
        $html .= vm_link($at($current - 1), vm_phrase('Prev'), 'vm-prev') . ' ';
    }
    if ((int) vm_list_settings($t)['pager'] === 1) {
        $shownPages = array_unique(array_merge([1], range(max(1, $current - 3), min($pages, $current + 3)), [$pages]));
        $last = 0;
        foreach ($shownPages as $p) {
            if ($p > $last + 1) {
                $html .= '<span class="vm-gap">&hellip;</span> ';
            }
            $html .= $p === $current ? '<strong aria-current="page">' . $p . '</strong> '
                : '<a href="' . vm_h($at($p)) . '">' . $p . '</a> ';
            $last = $p;
        }
    } else {
        $html .= '<span>' . vm_h(vm_phrase_fill('PageOf', ['page' => $current, 'pages' => $pages])) . '</span> ';
    }
    if ($current < $pages) {
        $html .= vm_link($at($current + 1), vm_phrase('Next'), 'vm-next');
    }
    return $html . "</nav>\n";
}

/** The page sizes a user may pick, as a form that works without script. */
function vm_per_page_html(array $t, string $self, array $state, int $per): string
{
    $choices = array_map('intval', (array) vm_list_settings($t)['per_page_list']);
    if ($choices === []) {
        return '';
    }
    if (!in_array($per, $choices, true)) {
        array_unshift($choices, $per);   // the table's own size, until the user picks one
    }
    $html = '<form method="get" action="' . vm_h($self) . '" class="vm-perpage">';
    foreach ($state as $name => $v) {
        foreach (is_array($v) ? $v : [$v] as $sub => $one) {
            if ((string) $one !== '') {
                $html .= '<input type="hidden" name="' . vm_h(is_array($v) ? $name . '[' . $sub . ']' : $name)
                    . '" value="' . vm_h($one) . '">';
            }
        }
    }
    $html .= '<label>' . vm_ph('RecordsPerPage') . ' <select name="recperpage">';
    foreach ($choices as $n) {
        $html .= '<option value="' . ($n === 0 ? 'ALL' : $n) . '"' . ($n === $per ? ' selected' : '') . '>'
            . ($n === 0 ? vm_ph('AllRecords') : $n) . '</option>';
    }
    return $html . '</select></label> <button type="submit">' . vm_ph('Show') . '</button></form>';
}

/** A row's links (view, edit, copy, delete, or their inline forms), as buttons or in a drop-down. */
function vm_row_links_html(array $t, array $row, array $masterParams, array $state): string
{
    if (!vm_row_has_key($t, $row)) {
        return '';
    }
    $s = vm_list_settings($t);
    $key = vm_row_key($t, $row);
    $self = vm_page_file($t, 'list');
    $class = $s['buttons'] ? ' vm-button' : '';
    $items = [];
    foreach (['view', 'edit', 'copy', 'delete'] as $p) {
        if (!vm_has_page($t, $p)) {
            continue;
        }
        if ($p === 'delete' && $s['inline_delete']) {
            $items[] = vm_inline_delete_html($t, $key, $masterParams, $state);
            continue;
        }
        $inline = ($p === 'edit' && $s['inline_edit']) || ($p === 'copy' && $s['inline_copy']);
        $url = match (true) {
            $inline => vm_url($self, ['inline' => $p, 'key' => $key] + $state),
            $p === 'copy' => vm_url(vm_page_file($t, 'add'), ['copy' => '1', 'key' => $key] + $masterParams),
            default => vm_record_url($t, $p, $key, $p === 'view' ? [] : $masterParams),
        };
        $items[] = vm_link($url, vm_phrase(ucfirst($p) . 'Link'), 'vm-' . $p . $class);
    }
    if ($items === []) {
        return '';
    }
    if ($s['dropdown']) {
        return '<details class="vm-dropdown"><summary>' . vm_ph('Actions') . '</summary><div class="vm-dropdown-items">'
            . implode(' ', $items) . '</div></details>';
    }
    return implode(' ', $items);
}

/** Delete from the list: the button asks again (a drop-down, no script), then posts with the CSRF token. */
function vm_inline_delete_html(array $t, array $key, array $masterParams, array $state): string
{
    $back = vm_url(vm_page_file($t, 'list'), $state);
    return '<details class="vm-confirm"><summary class="vm-delete' . (vm_list_settings($t)['buttons'] ? ' vm-button' : '')
        . '">' . vm_ph('DeleteLink') . '</summary><form method="post" class="vm-inline" action="'
        . vm_h(vm_record_url($t, 'delete', $key, $masterParams)) . '">' . vm_csrf_field()
        . '<input type="hidden" name="_back" value="' . vm_h($back) . '">'
        . '<button type="submit" class="vm-danger">' . vm_ph('ConfirmDelete') . '</button></form></details>';
}

/**
 * Totals of the fields with an aggregate over every row the list selects (not the page only), in
 * one query: column => [phrase id, displayed value].
 */
function vm_list_totals(array $t, array $listed, string $from, array $params): array
{
    $fns = ['TOTAL' => 'SUM', 'SUM' => 'SUM', 'COUNT' => 'COUNT', 'AVERAGE' => 'AVG', 'AVG' => 'AVG',
        'MIN' => 'MIN', 'MAX' => 'MAX'];
    $phrases = ['SUM' => 'Total', 'COUNT' => 'CountOf', 'AVG' => 'Average', 'MIN' => 'Minimum', 'MAX' => 'Maximum'];
    $parts = [];
    $asked = [];
    foreach ($listed as $i => $col) {
        $f = $t['fields'][$col];
        $fn = $fns[(string) vm_show($f)['aggregate']] ?? null;
        if ($fn === null || vm_is_blob_field($f) || ($fn !== 'COUNT' && !in_array($f['type'], ['int', 'float', 'decimal'], true))) {
            continue;
        }
        $parts[] = $fn . '(' . vm_qi($col) . ') AS ' . vm_qi('a' . $i);
        $asked[$col] = [$fn, 'a' . $i];
    }
    if ($parts === []) {
        return [];
    }
    $got = vm_query('SELECT ' . implode(', ', $parts) . $from, $params)->fetch() ?: [];
    $out = [];
    foreach ($asked as $col => [$fn, $alias]) {
        $v = $got[$alias] ?? null;
        $f = $t['fields'][$col];
        $text = match (true) {
            $v === null => '',
            $fn === 'COUNT' => vm_format('number', (string) (int) $v, '', ['digits' => 0] + vm_show($f)),
            $f['format'] !== '' => vm_format($f['format'], vm_str($v), '', vm_show($f)),
            $fn === 'AVG' => vm_format('number', vm_str($v), '', ['digits' => vm_show($f)['digits'] ?? 2] + vm_show($f)),
            default => vm_str($v),
        };
        $out[$col] = [$phrases[$fn], $text];
    }
    return $out;
}

/** The list's rows as cards, n to a row (RecPerRow). */
function vm_cards_html(array $t, array $rows, array $listed, array $labels, array $masterParams, array $state,
    array $marks): string
{
    require_once VM_LIB_DIR . '/multi.php';
    $n = min(6, max(1, (int) vm_list_settings($t)['per_row']));
    $html = '<div class="vm-cards vm-cards-' . $n . '">';
    foreach ($rows as $row) {
        if (function_exists('row_rendered')) {
            row_rendered($row);
        }
        $html .= '<article class="vm-card">' . preg_replace('/^<td class="vm-tick">(.*)<\/td>$/s', '<div class="vm-tick">$1</div>',
            vm_multi_cell_html($t, $row)) . '<dl>';
        foreach ($listed as $col) {
            $f = $t['fields'][$col];
            $html .= '<dt>' . vm_h($f['caption']) . '</dt>' . vm_search_highlight('<dd' . vm_show_class($f) . '>'
                . vm_field_html($t, $col, $row, $labels[$col] ?? [], true) . '</dd>', $marks);
        }
        $links = vm_row_links_html($t, $row, $masterParams, $state);
        $html .= '</dl>' . ($links !== '' ? '<div class="vm-rowlinks">' . $links . '</div>' : '') . "</article>\n";
    }
    return $html . "</div>\n";
}
