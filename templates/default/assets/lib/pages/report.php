<?php
declare(strict_types=1);

/** The report page: the source table's rows grouped, with a count and the sums of numbers. */

function vm_page_report(array $t): void
{
    $src = vm_table((string) ($t['report']['source'] ?? ''));
    vm_connection((string) $src['db']);
    $groups = array_values(array_filter((array) ($t['report']['group'] ?? []),
        static fn($c) => isset($src['fields'][$c], $t['fields'][$c])));
    $sums = array_values(array_filter((array) ($t['report']['sums'] ?? []),
        static fn($c) => isset($src['fields'][$c], $t['fields'][$c]) && !in_array($c, $groups, true)));

    // Output columns: the groups, the count, the sums; sorting by position keeps names out of SQL.
    $select = array_map('vm_qi', $groups);
    $select[] = 'COUNT(*)';
    foreach ($sums as $col) {
        $select[] = 'SUM(' . vm_qi($col) . ')';
    }
    $order = vm_get_int('order');
    $order = $order !== null && $order >= 1 && $order <= count($select) ? $order : null;
    $dir = strtolower(vm_get('dir')) === 'desc' ? 'DESC' : 'ASC';
    $by = [];
    if ($order !== null) {
        $by[] = $order . ' ' . $dir;
    }
    for ($i = 1; $i <= count($groups); $i++) {
        if ($i !== $order) {
            $by[] = $i . ' ASC';
        }
    }
    $sql = 'SELECT ' . implode(', ', $select) . ' FROM ' . vm_from($src)
        . ($groups === [] ? '' : ' GROUP BY ' . implode(', ', array_map('vm_qi', $groups)))
        . ($by === [] ? '' : ' ORDER BY ' . implode(', ', $by));
    $rows = vm_query($sql)->fetchAll(PDO::FETCH_NUM);

    vm_header($t['caption']);
    $self = vm_page_file($t, 'report');
    echo "<div class=\"vm-table-wrap\"><table class=\"vm-grid vm-report\">\n<thead><tr>";
    $headings = array_merge(array_map(static fn($c) => [$t['fields'][$c]['caption'], $t['fields'][$c]], $groups),
        [[vm_phrase('Count'), ['type' => 'int'] + VM_FIELD_DEFAULTS]],
        array_map(static fn($c) => [vm_phrase_fill('SumOf', ['field' => $t['fields'][$c]['caption']]),
            $t['fields'][$c]], $sums));
    foreach ($headings as $i => [$caption, $f]) {
        $position = $i + 1;
        $next = $order === $position && $dir === 'ASC' ? 'desc' : 'asc';
        $mark = $order === $position ? ($dir === 'ASC' ? ' &#9650;' : ' &#9660;') : '';
        $url = vm_url($self, ['order' => (string) $position, 'dir' => $next]);
        echo '<th', vm_align_class($f), '><a href="', vm_h($url), '">', vm_h($caption), '</a>', $mark, '</th>';
    }
    echo "</tr></thead>\n<tbody>\n";
    $totals = array_fill(0, count($select), 0);
    foreach ($rows as $row) {
        echo '<tr>';
        foreach ($row as $i => $value) {
            $f = $headings[$i][1];
            if ($i >= count($groups)) {
                $totals[$i] += (float) $value;
            }
            echo '<td', vm_align_class($f), '>', vm_display_html($f, $value), '</td>';
        }
        echo "</tr>\n";
    }
    echo "</tbody>\n<tfoot><tr>";
    foreach ($headings as $i => [, $f]) {
        $cell = $i < count($groups) ? ($i === 0 ? vm_ph('GrandTotal') : '') : vm_display_html($f, $totals[$i]);
        echo '<td', vm_align_class($f), '>', $cell, '</td>';
    }
    echo "</tr></tfoot></table></div>\n";
    vm_footer();
}
