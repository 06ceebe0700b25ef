<?php
declare(strict_types=1);

/** The list page: paging, sorting, quick search, master filter, row links. */

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

    $listed = vm_columns_with($t, 'list');
    $order = vm_get('order');
    $dir = strtolower(vm_get('dir')) === 'desc' ? 'DESC' : 'ASC';
    if (!in_array($order, $listed, true)) {
        $order = '';
        $dir = 'ASC';
        if (preg_match('/^\s*(.+?)(?:\s+(ASC|DESC))?\s*$/iD', (string) $t['default_order'], $m)
            && isset($t['fields'][$m[1]])) {
            $order = $m[1];
            $dir = strtoupper($m[2] ?? 'ASC') === 'DESC' ? 'DESC' : 'ASC';
        }
    }
    $by = [];
    if ($order !== '') {
        $by[] = vm_qi($order) . ' ' . $dir;
    }
    foreach ($t['key'] as $col) {
        if ($col !== $order) {
            $by[] = vm_qi($col) . ' ASC';   // a stable order for paging
        }
    }
    return [
        'where' => $where === [] ? '' : ' WHERE ' . implode(' AND ', $where),
        'params' => $params,
        'order_by' => $by === [] ? '' : ' ORDER BY ' . implode(', ', $by),
        'order' => vm_get('order') === $order ? $order : '',
        'dir' => $dir,
        'q' => $search['q'],
        'search' => $search,
        'search_errors' => $searchErrors,
        'master' => $master,
    ];
}

function vm_page_list(array $t): void
{
    $ctx = vm_list_query($t);
    $from = ' FROM ' . vm_from($t) . $ctx['where'];
    $total = (int) vm_query('SELECT COUNT(*)' . $from, $ctx['params'])->fetchColumn();

    $per = (int) $t['rec_per_page'] > 0 ? (int) $t['rec_per_page'] : (int) vm_config()['rec_per_page'];
    $per = $per > 0 ? $per : 20;
    $start = vm_get_int('start');
    $page = vm_get_int('page');
    if ($start === null && $page !== null) {
        $start = (max(1, $page) - 1) * $per + 1;
    }
    $start = max(1, $start ?? 1);
    if ($start > $total) {
        $start = $total > 0 ? intdiv($total - 1, $per) * $per + 1 : 1;
    }

    $sql = 'SELECT ' . vm_select_columns($t) . $from . $ctx['order_by']
        . ' LIMIT ' . $per . ' OFFSET ' . ($start - 1);
    $rows = vm_query($sql, $ctx['params'])->fetchAll();
    $listed = vm_columns_with($t, 'list');
    $labels = vm_rows_lookup_labels($t, $rows, $listed);
    $masterParams = vm_master_params($ctx['master']);
    $state = $masterParams + vm_search_url_params($ctx['search']) + ['order' => $ctx['order'],
        'dir' => $ctx['order'] !== '' ? strtolower($ctx['dir']) : ''];
    $self = vm_page_file($t, 'list');

    vm_header($t['caption']);
    if ($ctx['master'] !== null) {
        vm_master_caption($ctx['master']);
    }

    echo '<div class="vm-toolbar">';
    if (vm_has_page($t, 'search')) {
        echo vm_search_form_html($t, $ctx['search'], $self, $masterParams + ['order' => $state['order'],
            'dir' => $state['dir']], $ctx['search_errors']);
    }
    echo '<div class="vm-actions">';
    if (vm_has_page($t, 'add')) {
        echo vm_link(vm_url(vm_page_file($t, 'add'), $masterParams), vm_phrase('AddLink'), 'vm-button');
    }
    require_once VM_LIB_DIR . '/export.php';
    echo ' ', vm_export_controls($t, 'list', $self, array_filter($state + ['start' => (string) $start]));
    echo "</div></div>\n";
    echo vm_charts_html($t, $ctx, 'top');

    if ($total === 0) {
        echo '<p class="vm-message">', vm_ph('NoRecords'), "</p>\n";
        vm_footer();
        return;
    }

    echo "<div class=\"vm-table-wrap\"><table class=\"vm-grid\">\n<thead><tr>";
    $links = array_filter(['view', 'edit', 'copy', 'delete'], static fn($p) => vm_has_page($t, $p));
    require_once VM_LIB_DIR . '/multi.php';
    echo vm_multi_head_html($t);
    if ($links !== []) {
        echo '<th class="vm-rowlinks"><span class="vm-hidden">', vm_ph('Actions'), '</span></th>';
    }
    foreach ($listed as $col) {
        $f = $t['fields'][$col];
        $next = ($ctx['order'] === $col && $ctx['dir'] === 'ASC') ? 'desc' : 'asc';
        $mark = $ctx['order'] === $col ? ($ctx['dir'] === 'ASC' ? ' &#9650;' : ' &#9660;') : '';
        $url = vm_url($self, ['order' => $col, 'dir' => $next] + $state);
        echo '<th', vm_align_class($f), '><a href="', vm_h($url), '">', vm_h($f['caption']), '</a>', $mark, '</th>';
    }
    require_once VM_LIB_DIR . '/detail.php';
    echo vm_detail_list_head($t), "</tr></thead>\n<tbody>\n";
    $marks = vm_search_marks($t, $ctx['search']);
    $detailCells = vm_detail_list_cells($t, $rows);
    foreach ($rows as $n => $row) {
        if (function_exists('row_rendered')) {
            row_rendered($row);
        }
        echo '<tr>', vm_multi_cell_html($t, $row);
        if ($links !== []) {
            echo '<td class="vm-rowlinks">';
            if (vm_row_has_key($t, $row)) {
                $key = vm_row_key($t, $row);
                $extra = $masterParams;
                foreach ($links as $p) {
                    $url = $p === 'copy' ? vm_url(vm_page_file($t, 'add'), ['copy' => '1', 'key' => $key] + $extra)
                        : vm_record_url($t, $p, $key, $p === 'view' ? [] : $extra);
                    echo vm_link($url, vm_phrase(ucfirst($p) . 'Link'), 'vm-' . $p), ' ';
                }
            }
            echo '</td>';
        }
        echo vm_search_highlight(vm_cells_html($t, $listed, $row, $labels), $marks), $detailCells[$n] ?? '', "</tr>\n";
    }
    echo "</tbody></table></div>\n", vm_multi_form_html($t, $masterParams);
    vm_pager($self, $state, $start, $per, $total, count($rows));
    echo vm_charts_html($t, $ctx, 'bottom');
    vm_footer();
}

/** Record counts and the previous/next links. */
function vm_pager(string $self, array $state, int $start, int $per, int $total, int $shown): void
{
    $pages = intdiv($total + $per - 1, $per);
    $current = intdiv($start - 1, $per) + 1;
    echo '<nav class="vm-pager"><span>', vm_h(vm_phrase_fill('RecordsFrom',
        ['from' => $start, 'to' => $start + $shown - 1, 'total' => $total])), '</span> ';
    if ($start > 1) {
        echo vm_link(vm_url($self, $state + ['start' => (string) max(1, $start - $per)]), vm_phrase('Prev')), ' ';
    }
    echo '<span>', vm_h(vm_phrase_fill('PageOf', ['page' => $current, 'pages' => $pages])), '</span> ';
    if ($start + $per <= $total) {
        echo vm_link(vm_url($self, $state + ['start' => (string) ($start + $per)]), vm_phrase('Next'));
    }
    echo "</nav>\n";
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
