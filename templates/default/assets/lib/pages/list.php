<?php
declare(strict_types=1);

/** The list page: paging, sorting, quick search, master filter, row links, changes in the list. */

/**
 * What the request selects: WHERE clause and values (master filter, quick search),
 * ORDER BY, and the sort column and direction in effect.
 */
function vm_list_query(array $t): array
{
    $where = [];
    $params = [];
    $owner = vm_owner_filter($t, 'list');
    if ($owner !== null) {
        $where[] = $owner[0];
        $params = $owner[1];
    }
    $master = vm_request_master($t);
    if ($master !== null) {
        foreach ($master[2] as $col => $v) {
            $where[] = vm_qi($col) . ' = ?';
            $params[] = $v;
        }
    }
    require_once VM_LIB_DIR . '/search.php';
    $search = vm_has_page($t, 'search') ? vm_search_state($t) : ['q' => '', 'qt' => '', 'adv' => []];
    $searchErrors = [];
    array_push($where, ...vm_search_where($t, $search, $params, $searchErrors));

    require_once VM_LIB_DIR . '/listing.php';
    $sort = vm_list_sort($t);
    $order = $sort;
    if ($order === [] && preg_match('/^\s*(.+?)(?:\s+(ASC|DESC))?\s*$/iD', (string) $t['default_order'], $m)
        && isset($t['fields'][$m[1]])) {
        $order = [$m[1] => strtoupper($m[2] ?? 'ASC') === 'DESC' ? 'DESC' : 'ASC'];
    }
    $by = [];
    foreach ($order as $col => $dir) {
        $by[] = vm_qi((string) $col) . ' ' . $dir;
    }
    foreach ($t['key'] as $col) {
        if (!isset($order[$col])) {
            $by[] = vm_qi($col) . ' ASC';   // a stable order for paging
        }
    }
    return [
        'where' => $where === [] ? '' : ' WHERE ' . implode(' AND ', $where),
        'params' => $params,
        'order_by' => $by === [] ? '' : ' ORDER BY ' . implode(', ', $by),
        'order' => implode(',', array_keys($sort)),
        'dir' => $sort === [] ? 'ASC' : reset($sort),
        'sort' => $sort,
        'q' => $search['q'],
        'search' => $search,
        'search_errors' => $searchErrors,
        'master' => $master,
    ];
}

function vm_page_list(array $t): void
{
    require_once VM_LIB_DIR . '/listing.php';
    require_once VM_LIB_DIR . '/gridedit.php';
    require_once VM_LIB_DIR . '/detail.php';
    $s = vm_list_settings($t);
    if (vm_method() === 'POST' && vm_get('multiupdate') !== '') {
        vm_multi_update($t);
        return;
    }
    $edit = vm_list_edit_mode($t);
    $posted = $edit !== null && vm_method() === 'POST' ? vm_list_save($t, $edit) : null;
    $ctx = vm_list_query($t);
    $from = ' FROM ' . vm_from($t) . $ctx['where'];
    // a blank list page waits for a search before reading anything
    $blank = $s['blank'] && !vm_search_active($ctx['search']) && $ctx['master'] === null;

    $per = vm_list_per_page($t);
    $start = vm_get_int('start');
    $page = vm_get_int('page');
    if ($start === null && $page !== null && $per > 0) {
        $start = (max(1, $page) - 1) * $per + 1;
    }
    $start = $per > 0 ? max(1, $start ?? 1) : 1;
    $rows = [];
    $total = null;
    $pageSql = static fn(int $start) => vm_list_page_sql($t, $ctx, $from, $per, $start);
    if (!$blank && $ctx['where'] !== '') {
        // a filtered list counts its rows in the query of the page: one pass over the table, not two
        $rows = vm_query($pageSql($start), $ctx['params'])->fetchAll();
        $total = $rows !== [] ? (int) $rows[0]['vm_total'] : null;
    }
    $total ??= $blank ? 0 : (int) vm_query('SELECT COUNT(*)' . $from, $ctx['params'])->fetchColumn();
    if ($start > $total) {
        $start = $total > 0 ? intdiv($total - 1, $per) * $per + 1 : 1;
        $rows = [];
    }
    if ($rows === [] && $total > 0) {
        $rows = vm_query($pageSql($start), $ctx['params'])->fetchAll();
    }
    foreach ($rows as &$one) {
        unset($one['vm_total']);
    }
    unset($one);
    $listed = vm_columns_with($t, 'list');
    $labels = vm_rows_lookup_labels($t, $rows, $listed);
    $masterParams = vm_master_params($ctx['master']);
    $sortParams = $ctx['sort'] === [] ? [] : vm_sort_params($ctx['sort']);
    $state = $masterParams + vm_search_url_params($ctx['search']) + $sortParams;
    $self = vm_page_file($t, 'list');

    vm_header($t['caption'] . ($s['row_count'] && !$blank ? ' (' . $total . ')' : ''));
    if ($ctx['master'] !== null) {
        vm_master_caption($ctx['master']);
    }

    echo '<div class="vm-toolbar">';
    if (vm_has_page($t, 'search')) {
        echo vm_search_form_html($t, $ctx['search'], $self, $masterParams + $sortParams, $ctx['search_errors']);
    }
    echo '<div class="vm-actions">';
    if (vm_has_page($t, 'add')) {
        echo vm_link(vm_url(vm_page_file($t, 'add'), $masterParams), vm_phrase('AddLink'), 'vm-button');
        foreach (['inline' => 'InlineAddLink', 'grid' => 'GridAddLink'] as $how => $phrase) {
            if ($s[$how . '_add']) {
                echo ' ', vm_link(vm_url($self, [$how => 'add'] + $state), vm_phrase($phrase), 'vm-button vm-' . $how . '-add');
            }
        }
    }
    if ($s['grid_edit'] && vm_has_page($t, 'edit') && $rows !== []) {
        echo ' ', vm_link(vm_url($self, ['grid' => 'edit', 'start' => (string) $start] + $state), vm_phrase('GridEditLink'),
            'vm-button vm-grid-edit');
    }
    require_once VM_LIB_DIR . '/export.php';
    echo ' ', vm_export_controls($t, 'list', $self, array_filter($state + ['start' => (string) $start]));
    echo vm_per_page_html($t, $self, $state, $per);
    echo "</div></div>\n";
    echo vm_charts_html($t, $ctx, 'top');
    $pagerTop = $s['pager_top'];
    $pagerBottom = $s['pager_bottom'] || !$s['pager_top'];
    $pagerState = $state;
    if ($pagerTop && $rows !== []) {
        echo vm_pager_html($t, $self, $pagerState, $start, $per, $total, count($rows));
    }
    if ($posted !== null && $posted['message'] !== '') {
        echo '<p class="vm-message vm-error" role="alert">', vm_h($posted['message']), "</p>\n";
    }

    if ($blank) {
        echo '<p class="vm-message">', vm_ph('SearchToShow'), "</p>\n";
        vm_footer();
        return;
    }
    if ($total === 0 && ($edit === null || $edit['action'] === 'edit')) {
        echo '<p class="vm-message">', vm_ph('NoRecords'), "</p>\n";
        vm_footer();
        return;
    }
    $marks = vm_search_marks($t, $ctx['search']);
    if ((int) $s['per_row'] > 0 && $edit === null) {
        echo '<div class="', vm_h(trim('vm-list ' . $s['class'])), '">',
            vm_cards_html($t, $rows, $listed, $labels, $masterParams, $state, $marks), "</div>\n",
            vm_multi_form_html($t, $masterParams);
        if ($pagerBottom) {
            echo vm_pager_html($t, $self, $pagerState, $start, $per, $total, count($rows));
        }
        echo vm_charts_html($t, $ctx, 'bottom');
        vm_footer();
        return;
    }

    $links = array_filter(['view', 'edit', 'copy', 'delete'], static fn($p) => vm_has_page($t, $p)) !== [];
    $left = $s['links_left'];
    $linksHead = $links ? '<th class="vm-rowlinks"><span class="vm-hidden">' . vm_ph('Actions') . '</span></th>' : '';
    if ($edit !== null) {
        $query = $_GET;
        echo '<form method="post" class="vm-gridform" novalidate action="', vm_h(vm_url($self, $query)), '">', vm_csrf_field();
    }
    echo '<div class="', vm_h(trim('vm-table-wrap ' . $s['class'])), "\"><table class=\"vm-grid\">\n<thead><tr>";
    echo $edit === null ? vm_multi_head_html($t) : '';
    echo $left ? $linksHead : '';
    foreach ($listed as $col) {
        echo vm_sort_header_html($t, $col, $ctx['sort'], $self, $masterParams + vm_search_url_params($ctx['search']));
    }
    echo vm_detail_list_head($t), $left ? '' : $linksHead, "</tr></thead>\n<tbody>\n";
    $detailCells = vm_detail_list_cells($t, $rows);
    $inputCols = $edit !== null ? vm_inline_columns($t, $edit['action']) : [];
    $detailBlank = str_repeat('<td></td>', substr_count(vm_detail_list_head($t), '<th'));
    $inputRow = static function (string $name, string $id, array $values, array $errors, ?array $row, string $hidden)
        use ($t, $listed, $inputCols, $links, $left, $detailBlank): string {
        $cells = vm_input_cells_html($t, $listed, $inputCols, $name, $id, $values, $errors, $row);
        $linkCell = $links ? '<td class="vm-rowlinks">' . $hidden . '</td>' : '';
        return '<tr class="vm-editing">' . ($left ? $linkCell : '') . $cells . $detailBlank . ($left ? '' : $linkCell)
            . ($links ? '' : '<td class="vm-hidden">' . $hidden . '</td>') . "</tr>\n";
    };
    if ($edit !== null && $edit['action'] !== 'edit') {
        // new records: one row (inline add or copy), or blank rows (grid add)
        $source = $edit['action'] === 'copy' ? vm_fetch_row($t, $edit['key']) ?? throw new VmHttpError(404, 'NoRecord') : null;
        $count = $edit['how'] === 'grid' ? min(50, max(1, vm_get_int('rows') ?? VM_GRID_ADD_ROWS)) : 1;
        for ($i = 0; $i < $count; $i++) {
            $values = $posted['values'][$i] ?? vm_inline_values($t, $inputCols, $source);
            echo $inputRow($edit['how'] === 'grid' ? 'g[' . $i . ']' : 'f', 'n' . $i, $values, $posted['errors'][$i] ?? [],
                null, '');
        }
    }
    foreach ($rows as $n => $row) {
        if (function_exists('row_rendered')) {
            row_rendered($row);
        }
        $key = vm_row_has_key($t, $row) ? vm_row_key($t, $row) : null;
        $editing = $edit !== null && $edit['action'] === 'edit' && $key !== null
            && ($edit['how'] === 'grid' || $key === $edit['key']);
        if ($editing) {
            $i = $edit['how'] === 'grid' ? $n : 0;
            $hidden = $edit['how'] === 'grid'
                ? '<input type="hidden" name="gk[' . $n . ']" value="' . vm_h(json_encode($key, JSON_UNESCAPED_UNICODE)) . '">'
                    . ($t['concurrency'] ? '<input type="hidden" name="gh[' . $n . ']" value="' . vm_row_hash($t, $row) . '">' : '')
                : ($t['concurrency'] ? '<input type="hidden" name="_rowhash" value="' . vm_row_hash($t, $row) . '">' : '');
            echo $inputRow($edit['how'] === 'grid' ? 'g[' . $n . ']' : 'f', 'r' . $n,
                $posted['values'][$i] ?? vm_inline_values($t, $inputCols, $row), $posted['errors'][$i] ?? [], $row, $hidden);
            continue;
        }
        $linkCell = $links ? '<td class="vm-rowlinks">' . ($edit === null ? vm_row_links_html($t, $row, $masterParams, $state) : '')
            . '</td>' : '';
        echo '<tr>', $edit === null ? vm_multi_cell_html($t, $row) : '', $left ? $linkCell : '',
            vm_search_highlight(vm_cells_html($t, $listed, $row, $labels), $marks), $detailCells[$n] ?? '',
            $left ? '' : $linkCell, "</tr>\n";
    }
    echo "</tbody>";
    $totals = $edit === null ? vm_list_totals($t, $listed, $from, $ctx['params']) : [];
    if ($totals !== []) {
        echo '<tfoot><tr class="vm-totals">', vm_multi_head_html($t) !== '' ? '<td></td>' : '', $left && $links ? '<td></td>' : '';
        foreach ($listed as $col) {
            echo '<td', vm_cell_attr($t['fields'][$col]), '>', isset($totals[$col])
                ? '<span class="vm-total-label">' . vm_ph($totals[$col][0]) . '</span> ' . vm_h($totals[$col][1]) : '', '</td>';
        }
        echo $detailBlank, !$left && $links ? '<td></td>' : '', '</tr></tfoot>';
    }
    echo "</table></div>\n";
    if ($edit !== null) {
        echo '<div class="vm-buttons"><button type="submit">', vm_ph('Save'), '</button> ',
            vm_link(vm_url($self, $state + ['start' => (string) $start]), vm_phrase('Cancel')), "</div></form>\n";
    } else {
        echo vm_multi_form_html($t, $masterParams);
    }
    if ($pagerBottom && $rows !== []) {
        echo vm_pager_html($t, $self, $pagerState, $start, $per, $total, count($rows));
    }
    echo vm_charts_html($t, $ctx, 'bottom');
    vm_footer();
}

/** Rows from which a page is read through its keys first. */
const VM_DEFERRED_OFFSET = 1000;

/**
 * The query of a page of the list, with the number of records the filter selects (vm_total) when
 * there is a filter. Far into a long list, the page's keys are found first and only its rows read
 * whole: skipping thousands of rows then reads the key (an index) instead of every column.
 */
function vm_list_page_sql(array $t, array $ctx, string $from, int $per, int $start): string
{
    $total = $ctx['where'] !== '' ? ', COUNT(*) OVER () AS ' . vm_qi('vm_total') : '';
    $limit = $per > 0 ? ' LIMIT ' . $per . ' OFFSET ' . ($start - 1) : '';
    if ($per <= 0 || $start - 1 < VM_DEFERRED_OFFSET || $t['key'] === []) {
        return 'SELECT ' . vm_select_columns($t) . $total . $from . $ctx['order_by'] . $limit;
    }
    $keys = [];
    $on = [];
    foreach ($t['key'] as $i => $col) {
        $keys[] = vm_qi($col) . ' AS ' . vm_qi('vm_k' . $i);
        $on[] = vm_qi($col) . ' = ' . vm_qi('vm_k' . $i);
    }
    return 'SELECT ' . vm_select_columns($t) . ($total !== '' ? ', ' . vm_qi('vm_total') : '') . ' FROM ' . vm_from($t)
        . ' JOIN (SELECT ' . implode(', ', $keys) . $total . $from . $ctx['order_by'] . $limit . ') ' . vm_qi('vm_page')
        . ' ON ' . implode(' AND ', $on) . $ctx['order_by'];
}

/** The master record above a detail list filtered by it. */
function vm_master_caption(array $master): void
{
    [$mt, $links, $values] = $master;
    $where = [];
    $params = [];
    foreach ($links as $link) {
        $where[] = vm_qi((string) $link['master']) . ' = ?';
        $params[] = $values[(string) $link['detail']];
    }
    $row = vm_query('SELECT ' . vm_select_columns($mt) . ' FROM ' . vm_from($mt)
        . ' WHERE ' . implode(' AND ', $where), $params)->fetch();
    echo '<section class="vm-master"><h2>', vm_h(vm_phrase_fill('MasterRecord', ['table' => $mt['caption']])), '</h2>';
    if (is_array($row)) {
        $cols = vm_columns_with($mt, 'list');
        $labels = vm_rows_lookup_labels($mt, [$row], $cols);
        echo '<dl class="vm-master-fields">';
        foreach ($cols as $col) {
            $f = $mt['fields'][$col];
            echo '<dt>', vm_h($f['caption']), '</dt><dd>', vm_display_html($f, $row[$col] ?? null, $labels[$col] ?? []), '</dd>';
        }
        echo '</dl>';
        if (vm_has_page($mt, 'view') && vm_row_has_key($mt, $row)) {
            echo '<p>', vm_link(vm_record_url($mt, 'view', vm_row_key($mt, $row)), vm_phrase('BackToMaster')), '</p>';
        }
    }
    echo "</section>\n";
}
