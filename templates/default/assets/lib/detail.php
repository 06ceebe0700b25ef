<?php
declare(strict_types=1);

/**
 * Detail tables with their master: links (and counts) on the master's list, the detail records
 * on its view page, and detail records added and edited in the master's add and edit forms,
 * saved in the master's transaction.
 */

const VM_DETAIL_NEW_ROWS = 3;   // blank rows a master form offers for new detail records
const VM_DETAIL_LIMIT = 200;    // detail rows shown at most without paging

/**
 * The details of a master that a page shows: [[detail description, entry], ...]. $page is
 * list (links), view, add or edit; each needs the detail's own setting and permission.
 */
function vm_details_for(array $t, string $page): array
{
    $out = [];
    foreach ($t['details'] as $d) {
        if (!is_array($d) || !is_array($d['links'] ?? null) || $d['links'] === []) {
            continue;
        }
        $dt = vm_table_ref((string) ($d['table'] ?? ''));
        if ($dt === null) {
            continue;
        }
        $ok = true;
        foreach ($d['links'] as $link) {
            $ok = $ok && isset($dt['fields'][(string) ($link['detail'] ?? '')], $t['fields'][(string) ($link['master'] ?? '')]);
        }
        $d += ['view' => true, 'add' => false, 'edit' => false, 'count' => false, 'view_paging' => false,
            'edit_paging' => false, 'caption' => ''];
        $d['caption'] = (string) $d['caption'] !== '' ? (string) $d['caption'] : $dt['caption'];
        $ok = $ok && match ($page) {
            'list' => vm_has_page($dt, 'list'),
            'view' => (bool) $d['view'] && vm_has_page($dt, 'list'),
            'add' => (bool) $d['add'] && vm_has_page($dt, 'add'),
            'edit' => (bool) $d['edit'] && (vm_has_page($dt, 'edit') || vm_has_page($dt, 'add') || vm_has_page($dt, 'delete')),
            default => false,
        };
        if ($ok) {
            $out[] = [$dt, $d];
        }
    }
    return $out;
}

/** The condition on the detail table selecting a master row's details: [sql parts, params, fk_ params]. */
function vm_detail_where(array $t, array $dt, array $d, array $masterRow, string $permission): array
{
    $where = [];
    $params = [];
    $fk = ['master' => $t['var']];
    foreach ($d['links'] as $link) {
        $v = vm_str($masterRow[(string) $link['master']] ?? null);
        $where[] = vm_qi((string) $link['detail']) . ' = ?';
        $params[] = $v;
        $fk['fk_' . $link['detail']] = $v;
    }
    $owner = vm_owner_filter($dt, $permission);   // only the detail rows the user may use
    if ($owner !== null) {
        $where[] = $owner[0];
        $params = array_merge($params, $owner[1]);
    }
    return [$where, $params, $fk];
}

// ---------------------------------------------------------------- the master's list

/** Header cell of the details column, '' when the list has no detail links. */
function vm_detail_list_head(array $t): string
{
    return vm_details_for($t, 'list') === [] ? '' : '<th class="vm-detail-links">' . vm_ph('Details') . '</th>';
}

/**
 * Per master row, the links to each detail's list, with the number of detail rows when the
 * detail counts (one grouped query per detail for the rows on the page).
 */
function vm_detail_list_cells(array $t, array $rows): array
{
    $details = vm_details_for($t, 'list');
    if ($details === []) {
        return [];
    }
    $counts = [];
    foreach ($details as $i => [$dt, $d]) {
        $counts[$i] = $d['count'] ? vm_detail_counts($dt, $d, $rows) : null;
    }
    $cells = [];
    foreach ($rows as $n => $row) {
        $html = '<td class="vm-detail-links">';
        foreach ($details as $i => [$dt, $d]) {
            [, , $fk] = vm_detail_where($t, $dt, $d, $row, 'list');
            $text = $d['caption'];
            if ($counts[$i] !== null) {
                $text .= ' (' . ($counts[$i][vm_detail_link_id($d, $row, 'master')] ?? 0) . ')';
            }
            $html .= vm_link(vm_url(vm_page_file($dt, 'list'), $fk), $text, 'vm-detail-link') . ' ';
        }
        $cells[$n] = $html . '</td>';
    }
    return $cells;
}

/** A row's link values as one text, read by the master's or the detail's columns. */
function vm_detail_link_id(array $d, array $row, string $side): string
{
    $parts = [];
    foreach ($d['links'] as $link) {
        $parts[] = vm_str($row[(string) $link[$side]] ?? null);
    }
    return implode("\x1f", $parts);
}

/**
 * Detail rows per master (link id => count) for these master rows, a query per 500 of them (a
 * list of all rows stays within the databases' limits on parameters).
 */
function vm_detail_counts(array $dt, array $d, array $rows): array
{
    $cols = array_map(static fn($l) => vm_qi((string) $l['detail']), $d['links']);
    $owner = vm_owner_filter($dt, 'list');
    $counts = [];
    foreach (array_chunk($rows, 500) as $chunk) {
        $or = [];
        $params = [];
        foreach ($chunk as $row) {
            foreach ($d['links'] as $link) {
                $params[] = vm_str($row[(string) $link['master']] ?? null);
            }
            $or[] = '(' . implode(' AND ', array_map(static fn($c) => $c . ' = ?', $cols)) . ')';
        }
        $where = '(' . implode(' OR ', $or) . ')';
        if ($owner !== null) {
            $where .= ' AND ' . $owner[0];
            $params = array_merge($params, $owner[1]);
        }
        $sql = 'SELECT ' . implode(', ', $cols) . ', COUNT(*) AS vm_count FROM ' . vm_from($dt) . ' WHERE ' . $where
            . ' GROUP BY ' . implode(', ', $cols);
        foreach (vm_query($sql, $params)->fetchAll() as $r) {
            $counts[vm_detail_link_id($d, $r, 'detail')] = (int) $r['vm_count'];
        }
    }
    return $counts;
}

// ---------------------------------------------------------------- sections and tabs

/**
 * The detail sections of a master page: one after another when the master shows several
 * details at once, else as tabs (radio buttons styled by CSS, no script), the one named by
 * ?detail= open.
 */
function vm_detail_sections(array $t, array $sections): string
{
    if ($sections === []) {
        return '';
    }
    if (($t['detail_multiple'] ?? true) || count($sections) === 1 || count($sections) > 8) {   // the stylesheet has 8 tabs
        return implode('', array_map(static fn($s) => '<section class="vm-detail"><h2>' . vm_h($s[1]) . "</h2>\n"
            . $s[2] . "</section>\n", $sections));
    }
    $open = in_array(vm_get('detail'), array_column($sections, 0), true) ? vm_get('detail') : $sections[0][0];
    $html = '<div class="vm-dtabs">';
    foreach ($sections as [$var, $caption]) {
        $id = 'vm-dtab-' . $var;
        $html .= '<input type="radio" name="vm_detail_tab" class="vm-dtab-input" id="' . vm_h($id) . '"'
            . ($var === $open ? ' checked' : '') . '><label class="vm-dtab" for="' . vm_h($id) . '">' . vm_h($caption) . '</label>';
    }
    foreach ($sections as [$var, $caption, $body]) {
        $html .= '<section class="vm-detail vm-dtab-panel"><h2 class="vm-hidden">' . vm_h($caption) . "</h2>\n" . $body . "</section>\n";
    }
    return $html . "</div>\n";
}

/** Rows per page of a detail grid and the first row asked for (?dstart[<var>]=). */
function vm_detail_paging(array $dt, bool $paged): array
{
    if (!$paged) {
        return [VM_DETAIL_LIMIT, 1];
    }
    $per = (int) $dt['rec_per_page'] > 0 ? (int) $dt['rec_per_page'] : (int) vm_config()['rec_per_page'];
    $start = $_GET['dstart'][$dt['var']] ?? '1';
    $start = is_string($start) && ctype_digit($start) && strlen($start) < 10 ? max(1, (int) $start) : 1;
    return [$per > 0 ? $per : 20, $start];
}

/** The detail rows on one page of a master's grid: [rows, total]. */
function vm_detail_rows(array $t, array $dt, array $d, array $masterRow, string $permission, int $per, int $start): array
{
    [$where, $params] = vm_detail_where($t, $dt, $d, $masterRow, $permission);
    $from = ' FROM ' . vm_from($dt) . ' WHERE ' . implode(' AND ', $where);
    $total = (int) vm_query('SELECT COUNT(*)' . $from, $params)->fetchColumn();
    $order = $dt['key'] === [] ? '' : ' ORDER BY ' . implode(', ', array_map('vm_qi', $dt['key']));
    $rows = vm_query('SELECT ' . vm_select_columns($dt) . $from . $order . ' LIMIT ' . $per . ' OFFSET ' . ($start - 1),
        $params)->fetchAll();
    return [$rows, $total];
}

/** Previous/next links of a detail grid on a master page (the other query parameters kept). */
function vm_detail_pager(array $dt, string $self, array $query, int $start, int $per, int $total, int $shown): string
{
    if ($total <= $per && $start === 1) {
        return '';
    }
    $link = static function (int $at) use ($dt, $self, $query): string {
        $q = $query;
        $q['dstart'] = array_merge(is_array($q['dstart'] ?? null) ? $q['dstart'] : [], [$dt['var'] => (string) $at]);
        $q['detail'] = $dt['var'];
        return vm_url($self, $q);
    };
    $html = '<nav class="vm-pager"><span>' . vm_h(vm_phrase_fill('RecordsFrom',
        ['from' => $shown > 0 ? $start : 0, 'to' => $start + $shown - 1, 'total' => $total])) . '</span> ';
    if ($start > 1) {
        $html .= vm_link($link(max(1, $start - $per)), vm_phrase('Prev')) . ' ';
    }
    if ($start + $per <= $total) {
        $html .= vm_link($link($start + $per), vm_phrase('Next'));
    }
    return $html . "</nav>\n";
}

// ---------------------------------------------------------------- the master's view page

/** The view page's detail sections: each detail's rows with links to their pages. */
function vm_detail_view_html(array $t, array $row, array $key): string
{
    $sections = [];
    foreach (vm_details_for($t, 'view') as [$dt, $d]) {
        [$per, $start] = vm_detail_paging($dt, (bool) $d['view_paging']);
        [$rows, $total] = vm_detail_rows($t, $dt, $d, $row, 'list', $per, $start);
        [, , $fk] = vm_detail_where($t, $dt, $d, $row, 'list');
        $html = '<div class="vm-actions">';
        if (vm_has_page($dt, 'add')) {
            $html .= vm_link(vm_url(vm_page_file($dt, 'add'), $fk), vm_phrase('AddLink'), 'vm-button') . ' ';
        }
        $html .= vm_link(vm_url(vm_page_file($dt, 'list'), $fk), vm_phrase('ShowAll'), 'vm-button') . "</div>\n";
        if ($rows === []) {
            $sections[] = [$dt['var'], $d['caption'], $html . '<p class="vm-message">' . vm_ph('NoRecords') . "</p>\n"];
            continue;
        }
        // the link columns repeat the master shown above
        $cols = array_values(array_diff(vm_columns_with($dt, 'list'), array_column($d['links'], 'detail')));
        $labels = vm_rows_lookup_labels($dt, $rows, $cols);
        $pages = array_filter(['view', 'edit', 'delete'], static fn($p) => vm_has_page($dt, $p));
        $html .= '<div class="vm-table-wrap"><table class="vm-grid"><thead><tr>';
        if ($pages !== []) {
            $html .= '<th class="vm-rowlinks"><span class="vm-hidden">' . vm_ph('Actions') . '</span></th>';
        }
        foreach ($cols as $col) {
            $html .= '<th' . vm_align_class($dt['fields'][$col]) . '>' . vm_h($dt['fields'][$col]['caption']) . '</th>';
        }
        $html .= "</tr></thead><tbody>\n";
        foreach ($rows as $r) {
            $html .= '<tr>';
            if ($pages !== []) {
                $html .= '<td class="vm-rowlinks">';
                if (vm_row_has_key($dt, $r)) {
                    foreach ($pages as $p) {
                        $url = vm_record_url($dt, $p, vm_row_key($dt, $r), $p === 'view' ? [] : $fk);
                        $html .= vm_link($url, vm_phrase(ucfirst($p) . 'Link'), 'vm-' . $p) . ' ';
                    }
                }
                $html .= '</td>';
            }
            $html .= vm_cells_html($dt, $cols, $r, $labels) . "</tr>\n";
        }
        $html .= "</tbody></table></div>\n";
        if ($d['view_paging']) {
            $html .= vm_detail_pager($dt, vm_page_file($t, 'view'), ['key' => $key] + $_GET, $start, $per, $total, count($rows));
        } elseif ($total > $per) {
            $html .= '<p>' . vm_link(vm_url(vm_page_file($dt, 'list'), $fk), vm_phrase('MoreRecords')) . "</p>\n";
        }
        $sections[] = [$dt['var'], $d['caption'], $html];
    }
    return vm_detail_sections($t, $sections);
}

// ---------------------------------------------------------------- the master's add and edit forms

/** Columns a detail grid edits: the detail's form fields but the links (the master fills them) and files. */
function vm_detail_form_columns(array $dt, array $d, string $mode): array
{
    $links = array_map(static fn($l) => (string) $l['detail'], $d['links']);
    return array_values(array_filter(vm_form_columns($dt, $mode), static fn($col) => !in_array($col, $links, true)
        && !vm_is_upload_field($dt['fields'][$col]) && $dt['fields'][$col]['tag'] !== 'HIDDEN'));
}

/** The detail record of this master with the posted key, or null (another master's, not the user's). */
function vm_detail_posted_row(array $t, array $dt, array $d, array $masterRow, mixed $key, string $permission): ?array
{
    if (!is_array($key)) {
        return null;
    }
    [$where, $params] = vm_detail_where($t, $dt, $d, $masterRow, $permission);
    foreach ($dt['key'] as $col) {
        $v = $key[$col] ?? null;
        if (!is_string($v) || !vm_value_fits($dt['fields'][$col], $v)) {
            return null;
        }
        $where[] = vm_qi($col) . ' = ?';
        $params[] = $v;
    }
    $row = vm_query('SELECT ' . vm_select_columns($dt) . ' FROM ' . vm_from($dt) . ' WHERE ' . implode(' AND ', $where),
        $params)->fetch();
    return is_array($row) ? $row : null;
}

/**
 * Reads the detail grids posted with a master form ($masterRow: the stored master on edit, null
 * on add). Returns [grids for the form again, changes to save, has errors]; each change is
 * [detail, entry, action (add|edit|delete), values to store, stored row or null].
 */
function vm_detail_form_read(array $t, string $mode, ?array $masterRow): array
{
    $grids = [];
    $changes = [];
    $bad = false;
    $posted = is_array($_POST['d'] ?? null) ? $_POST['d'] : [];
    foreach (vm_details_for($t, $mode) as [$dt, $d]) {
        $rows = is_array($posted[$dt['var']] ?? null) ? $posted[$dt['var']] : [];
        $keys = is_array($_POST['dk'][$dt['var']] ?? null) ? $_POST['dk'][$dt['var']] : [];
        $drop = is_array($_POST['dx'][$dt['var']] ?? null) ? $_POST['dx'][$dt['var']] : [];
        $grid = [];
        foreach ($rows as $id => $in) {
            $id = (string) $id;
            if (!is_array($in) || !preg_match('/^[en]\d{1,4}$/D', $id)) {
                continue;
            }
            $old = null;
            if ($id[0] === 'e') {
                if ($masterRow === null) {
                    continue;
                }
                $delete = ($drop[$id] ?? '') === '1' && vm_has_page($dt, 'delete');
                $old = vm_detail_posted_row($t, $dt, $d, $masterRow, $keys[$id] ?? null, $delete ? 'delete' : 'edit');
                if ($old === null) {
                    continue;   // not a detail of this master the user may change
                }
                if ($delete) {
                    $changes[] = [$dt, $d, 'delete', [], $old];
                    $grid[$id] = ['key' => vm_row_key($dt, $old), 'values' => [], 'errors' => [], 'delete' => true];
                    continue;
                }
                if (!vm_has_page($dt, 'edit')) {
                    continue;
                }
            } elseif (!vm_has_page($dt, 'add') || vm_detail_blank($dt, $in)) {
                continue;
            }
            $action = $old === null ? 'add' : 'edit';
            $cols = vm_detail_form_columns($dt, $d, $action);
            [$values, $store, $errors] = vm_form_read($dt, $cols, $action, $old, $in);
            $grid[$id] = ['key' => $old === null ? [] : vm_row_key($dt, $old), 'values' => $values, 'errors' => $errors,
                'delete' => false];
            $bad = $bad || $errors !== [];
            $changes[] = [$dt, $d, $action, $store, $old];
        }
        $grids[$dt['var']] = $grid;
    }
    return [$grids, $changes, $bad];
}

/** True for a new-row line left empty (a tick box's hidden "0" counts as empty). */
function vm_detail_blank(array $dt, array $in): bool
{
    foreach ($in as $col => $v) {
        $f = $dt['fields'][(string) $col] ?? null;
        if ($f === null) {
            continue;
        }
        if (is_array($v) ? $v !== [] : (trim((string) $v) !== '' && !($v === '0' && $f['tag'] === 'CHECKBOX'))) {
            return false;
        }
    }
    return true;
}

/**
 * The master's values the detail links take, from the master row as stored (edit) or just
 * inserted (add: a generated key is asked of the database, so call this right after the insert).
 */
function vm_detail_master_values(array $t, array $store): array
{
    $values = [];
    foreach ($t['details'] as $d) {
        foreach ((array) ($d['links'] ?? []) as $link) {
            $col = (string) ($link['master'] ?? '');
            if (array_key_exists($col, $store)) {
                $values[$col] = $store[$col];
            } elseif (isset($t['fields'][$col]) && $t['fields'][$col]['autoinc'] && !isset($values[$col])) {
                $values += vm_detail_generated_key(['key' => [$col]] + $t, []);
            }
        }
    }
    return $values;
}

/**
 * Saves the detail changes read with the master form; runs inside the master's transaction. An
 * added row's values take its links, owner and generated key (for its audit entry and mail).
 */
function vm_detail_save(array $t, array $masterValues, array &$changes): void
{
    foreach ($changes as $i => [$dt, $d, $action, $store, $old]) {
        if ($action === 'add') {
            foreach ($d['links'] as $link) {
                $store[(string) $link['detail']] = vm_str($masterValues[(string) $link['master']] ?? null);
            }
            if (vm_owner_field($dt) !== '') {
                $store[vm_owner_field($dt)] = vm_user_id();
            }
            vm_insert($dt, $store);
            $changes[$i][3] = $store + vm_detail_generated_key($dt, $store);
            continue;
        }
        [$where, $params] = vm_key_where($dt, vm_row_key($dt, $old));
        if ($action === 'delete') {
            vm_query('DELETE FROM ' . vm_qt($dt['name']) . ' WHERE ' . $where, $params);
        } elseif ($store !== []) {
            vm_query('UPDATE ' . vm_qt($dt['name']) . ' SET ' . implode(', ', array_map(static fn($c) => vm_qi((string) $c)
                . ' = ?', array_keys($store))) . ' WHERE ' . $where, array_merge(array_values($store), $params));
        }
    }
}

/** The key the database gave a row just inserted, when it is one generated column not stored. */
function vm_detail_generated_key(array $dt, array $store): array
{
    if (count($dt['key']) !== 1 || array_key_exists($dt['key'][0], $store) || !$dt['fields'][$dt['key'][0]]['autoinc']) {
        return [];
    }
    try {
        return [$dt['key'][0] => (string) vm_db()->lastInsertId()];
    } catch (PDOException) {
        return [];   // PostgreSQL without a sequence behind the column
    }
}

/** Audit entries and change mails of saved detail changes (after the commit, as for the master). */
function vm_detail_audit(array $changes): void
{
    foreach ($changes as [$dt, , $action, $store, $old]) {
        $key = $old === null ? array_map('vm_str', array_intersect_key($store, array_flip($dt['key']))) : vm_row_key($dt, $old);
        vm_audit_change($dt, $action, $key, $store, $old);
        vm_notify_change($dt, $action, $action === 'delete' ? $old : $store, $action === 'edit' ? $old : null);
    }
}

/**
 * The detail grids inside a master form: on edit the master's detail rows (a page of them when
 * the detail pages in edit forms) with a Delete tick where allowed, then blank lines for new
 * rows. $grids holds what was posted when the form comes back with errors.
 */
function vm_detail_form_html(array $t, string $mode, ?array $masterRow, ?array $key, ?array $grids): string
{
    $sections = [];
    foreach (vm_details_for($t, $mode) as [$dt, $d]) {
        $var = $dt['var'];
        $lines = [];
        $pager = '';
        if ($grids !== null) {
            $lines = $grids[$var] ?? [];
        } elseif ($masterRow !== null) {
            [$per, $start] = vm_detail_paging($dt, (bool) $d['edit_paging']);
            [$rows, $total] = vm_detail_rows($t, $dt, $d, $masterRow, 'edit', $per, $start);
            foreach ($rows as $i => $r) {
                $values = [];
                foreach (vm_detail_form_columns($dt, $d, 'edit') as $col) {
                    $values[$col] = $dt['fields'][$col]['tag'] === 'PASSWORD' ? '' : vm_str($r[$col] ?? null);
                }
                $lines['e' . $i] = ['key' => vm_row_key($dt, $r), 'values' => $values, 'errors' => [], 'delete' => false];
            }
            if ($d['edit_paging']) {
                $pager = vm_detail_pager($dt, vm_page_file($t, 'edit'), ['key' => $key] + $_GET, $start, $per, $total, count($rows));
            }
        }
        if (vm_has_page($dt, 'add')) {
            for ($i = 0, $n = 0; $n < VM_DETAIL_NEW_ROWS; $i++) {
                if (!isset($lines['n' . $i])) {
                    $lines['n' . $i] = ['key' => [], 'values' => [], 'errors' => [], 'delete' => false];
                    $n++;
                }
            }
        }
        $cols = vm_detail_form_columns($dt, $d, $mode === 'edit' ? 'edit' : 'add');
        $html = '<div class="vm-table-wrap"><table class="vm-grid vm-detail-grid"><thead><tr>';
        foreach ($cols as $col) {
            $html .= '<th>' . vm_h($dt['fields'][$col]['caption']) . '</th>';
        }
        $html .= (vm_has_page($dt, 'delete') && $mode === 'edit' ? '<th>' . vm_ph('Delete') . '</th>' : '') . "</tr></thead><tbody>\n";
        foreach ($lines as $id => $line) {
            $html .= '<tr>';
            $keyInputs = '';   // the record's key rides in its first cell
            foreach ($line['key'] as $col => $v) {
                $keyInputs .= '<input type="hidden" name="' . vm_h('dk[' . $var . '][' . $id . '][' . $col . ']') . '" value="' . vm_h($v) . '">';
            }
            $edits = $id[0] === 'n' || vm_has_page($dt, 'edit');
            foreach (vm_detail_form_columns($dt, $d, $id[0] === 'n' ? 'add' : 'edit') as $col) {
                $f = $dt['fields'][$col];
                $cid = 'd_' . preg_replace('/[^A-Za-z0-9_]/', '_', $var . '_' . $id . '_' . $col);
                $error = $line['errors'][$col] ?? '';
                $html .= '<td' . ($error !== '' ? ' class="vm-invalid"' : '') . '>' . $keyInputs
                    . '<label class="vm-hidden" for="' . vm_h($cid) . '">' . vm_h($f['caption']) . '</label>';
                $keyInputs = '';
                $value = $line['values'][$col] ?? '';
                if ($edits) {
                    ob_start();
                    vm_form_control(['required' => $f['required'] && $id[0] === 'e'] + $f, $col,
                        'd[' . $var . '][' . $id . '][' . $col . ']', $cid, $value, null, $error !== '');
                    $html .= (string) ob_get_clean();
                }
                $html .= $error !== '' ? '<span class="vm-field-error" id="' . vm_h($cid) . '_error">' . vm_h($error) . '</span>' : '';
                $html .= '</td>';
            }
            if (vm_has_page($dt, 'delete') && $mode === 'edit') {
                $html .= '<td>' . ($id[0] === 'e' ? '<input type="checkbox" aria-label="' . vm_ph('Delete') . '" name="'
                    . vm_h('dx[' . $var . '][' . $id . ']') . '" value="1"' . ($line['delete'] ? ' checked' : '') . '>' : '') . '</td>';
            }
            $html .= "</tr>\n";
        }
        $sections[] = [$var, $d['caption'], $html . "</tbody></table></div>\n" . $pager];
    }
    return vm_detail_sections($t, $sections);
}
