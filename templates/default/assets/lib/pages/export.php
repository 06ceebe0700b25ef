<?php
declare(strict_types=1);

/** CSV export of the list: the same search, master filter and sort, every row. */

require_once __DIR__ . '/list.php';

function vm_page_export(array $t): void
{
    $ctx = vm_list_query($t);
    $listed = vm_columns_with($t, 'list');
    $st = vm_query('SELECT ' . vm_select_columns($t) . ' FROM ' . vm_from($t) . $ctx['where']
        . $ctx['order_by'], $ctx['params']);

    vm_stream_output();
    header('Content-Type: text/csv; charset=' . vm_charset());
    header('Content-Disposition: attachment; filename="' . $t['var'] . '.csv"');
    header('Cache-Control: no-store');
    $out = fopen('php://output', 'wb');
    $captions = [];
    foreach ($listed as $col) {
        $captions[] = vm_csv_cell($t['fields'][$col]['caption'], false);
    }
    fputcsv($out, $captions, ',', '"', '', "\r\n");

    // lookup labels are fetched for a batch of rows at a time
    $batch = [];
    $flush = static function (array $rows) use ($t, $listed, $out): void {
        $labels = vm_rows_lookup_labels($t, $rows, $listed);
        foreach ($rows as $row) {
            $line = [];
            foreach ($listed as $col) {
                $f = $t['fields'][$col];
                $v = $row[$col] ?? null;
                if ($f['lookup'] !== null || $f['values'] !== [] || vm_is_bool_field($f) || $f['tag'] === 'PASSWORD'
                    || vm_is_blob_field($f)) {
                    $line[] = vm_csv_cell(vm_display_text($f, $v, $labels[$col] ?? []), false);
                } else {
                    $line[] = vm_csv_cell(vm_str($v), in_array($f['type'], ['int', 'float', 'decimal'], true));
                }
            }
            fputcsv($out, $line, ',', '"', '', "\r\n");
        }
    };
    while (($row = $st->fetch()) !== false) {
        $batch[] = $row;
        if (count($batch) === 200) {
            $flush($batch);
            $batch = [];
        }
    }
    $flush($batch);
    fclose($out);
    throw new VmStop();
}

/**
 * A cell as written to the file. Text a spreadsheet would read as a formula (it starts with =,
 * +, -, @, a tab or a carriage return) gets a leading apostrophe, so opening the export runs
 * nothing. A number of a numeric column is data and stays as it is: -12.5 is no formula.
 */
function vm_csv_cell(string $v, bool $numeric): string
{
    if ($v === '' || strpbrk($v[0], "=+-@\t\r") === false || ($numeric && is_numeric($v))) {
        return $v;
    }
    return "'" . $v;
}
