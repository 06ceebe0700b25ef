<?php
declare(strict_types=1);

/**
 * Exports of a list or of one record: printer-friendly page, HTML, CSV, Excel (.xlsx), Word
 * (.docx), XML, JSON and PDF. Rows are read and written a batch at a time, so an export of many
 * rows takes no more memory than one of a few (PDF excepted: its library lays out the whole
 * document at once, so a PDF holds at most VM_PDF_MAX_ROWS rows).
 *
 * A document ($doc) is ['table' => description, 'cols' => exported columns, 'title' => text,
 * 'record' => one record laid out caption by value, 'batches' => fn(): iterable of [rows, labels]].
 */

require_once __DIR__ . '/libraries.php';
require_once __DIR__ . '/office.php';

/** format => [phrase id, MIME type, file extension ('' for a page shown in the browser)] */
const VM_EXPORT_FORMATS = [
    'print' => ['ExportPrint', 'text/html', ''],
    'html' => ['ExportHtml', 'text/html', 'html'],
    'csv' => ['ExportCsv', 'text/csv', 'csv'],
    'xlsx' => ['ExportExcel', 'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet', 'xlsx'],
    'docx' => ['ExportWord', 'application/vnd.openxmlformats-officedocument.wordprocessingml.document', 'docx'],
    'xml' => ['ExportXml', 'application/xml', 'xml'],
    'json' => ['ExportJson', 'application/json', 'json'],
    'pdf' => ['ExportPdf', 'application/pdf', 'pdf'],
    'email' => ['ExportEmail', '', ''],
];

const VM_EXPORT_BATCH = 500;
const VM_PDF_MAX_ROWS = 500;

/** The table's export settings, every key present; an older description names CSV in 'pages'. */
function vm_export_settings(array $t): array
{
    $e = $t['export'] ?? null;
    if (!is_array($e)) {
        $e = ['formats' => !empty($t['pages']['export_csv'] ?? true) ? ['csv'] : []];
    }
    $e = array_replace(['formats' => [], 'list' => true, 'view' => false, 'rows' => 'page', 'dropdown' => false], $e);
    $e['formats'] = array_values(array_intersect(array_keys(VM_EXPORT_FORMATS), (array) $e['formats']));
    return $e;
}

/**
 * The formats offered on the table's list or view page ($place), in menu order; none where the
 * user may not open that page or export ('export' in the table's pages, true unless set).
 */
function vm_export_formats(array $t, string $place): array
{
    $e = vm_export_settings($t);
    if (empty($e[$place]) || !vm_has_page($t, $place) || !vm_has_page($t, 'export')
        || vm_export_columns($t, $place) === []) {
        return [];
    }
    return $e['formats'];
}

/** The formats an e-mail can carry: the table's file formats, else HTML. */
function vm_export_attachable(array $t): array
{
    $files = array_values(array_diff(vm_export_settings($t)['formats'], ['print', 'email']));
    return $files !== [] ? $files : ['html'];
}

/** The exported columns of the list or view page: those the page shows that are marked for export. */
function vm_export_columns(array $t, string $place): array
{
    return array_values(array_intersect(vm_columns_with($t, $place), vm_columns_with($t, 'export')));
}

/**
 * The export buttons (or the drop-down) of a list or view page: a GET form carrying the page's
 * state; a list's form also has the "all pages" choice.
 */
function vm_export_controls(array $t, string $place, string $action, array $state): string
{
    $formats = vm_export_formats($t, $place);
    if ($formats === []) {
        return '';
    }
    $e = vm_export_settings($t);
    $html = '<form method="get" action="' . vm_h($action) . '" class="vm-export">';
    foreach ($state as $name => $v) {
        if (is_array($v)) {
            foreach ($v as $k => $one) {
                $html .= '<input type="hidden" name="' . vm_h($name . '[' . $k . ']') . '" value="' . vm_h($one) . '">';
            }
        } elseif ($v !== '') {
            $html .= '<input type="hidden" name="' . vm_h($name) . '" value="' . vm_h($v) . '">';
        }
    }
    if ($e['dropdown']) {
        $html .= '<select name="export" aria-label="' . vm_ph('Export') . '">';
        foreach ($formats as $format) {
            $html .= '<option value="' . $format . '">' . vm_ph(VM_EXPORT_FORMATS[$format][0]) . '</option>';
        }
        $html .= '</select> <button type="submit" class="vm-button">' . vm_ph('Export') . '</button>';
    } else {
        $html .= '<span class="vm-export-label">' . vm_ph('Export') . ':</span>';
        foreach ($formats as $format) {
            $html .= ' <button type="submit" name="export" value="' . $format . '" class="vm-button">'
                . vm_ph(VM_EXPORT_FORMATS[$format][0]) . '</button>';
        }
    }
    if ($place === 'list') {
        // the hidden 0 is sent when the box is not ticked, so a default of "all" can be turned off
        $html .= ' <input type="hidden" name="all" value="0"><label class="vm-export-all"><input type="checkbox" name="all"'
            . ' value="1"' . ($e['rows'] === 'all' ? ' checked' : '') . '> ' . vm_ph('ExportAllPages') . '</label>';
    }
    return $html . '</form>';
}

/**
 * Runs a SELECT whose rows are read one at a time, without the driver holding them all: SQLite
 * steps through them anyway, PostgreSQL reads them through a cursor, MySQL over a second,
 * unbuffered connection (so that lookups can be queried meanwhile).
 */
function vm_query_stream(string $sql, array $params = []): Generator
{
    static $cursors = 0;
    switch (vm_driver()) {
        case 'pgsql':
            $db = vm_db();
            $own = !$db->inTransaction();
            if ($own) {
                $db->beginTransaction();
            }
            $cursor = 'vm_stream' . ++$cursors;
            try {
                vm_query('DECLARE ' . $cursor . ' NO SCROLL CURSOR FOR ' . $sql, $params);
                do {
                    $rows = vm_query('FETCH ' . VM_EXPORT_BATCH . ' FROM ' . $cursor)->fetchAll();
                    yield from $rows;
                } while (count($rows) === VM_EXPORT_BATCH);
                vm_query('CLOSE ' . $cursor);
            } finally {
                if ($own && $db->inTransaction()) {
                    $db->commit();
                }
            }
            break;
        case 'mysql':
            $db = vm_db_open();
            $db->setAttribute(PDO::MYSQL_ATTR_USE_BUFFERED_QUERY, false);
            $st = vm_query($sql, $params, $db);
            while (($row = $st->fetch()) !== false) {
                yield $row;
            }
            $st->closeCursor();
            break;
        default:
            $st = vm_query($sql, $params);
            while (($row = $st->fetch()) !== false) {
                yield $row;
            }
    }
}

/** The rows of a query in batches with their lookup labels: [rows, column => (value => label)]. */
function vm_export_batches(array $t, array $cols, string $sql, array $params): Generator
{
    $batch = [];
    foreach (vm_query_stream($sql, $params) as $row) {
        if (function_exists('row_rendered')) {
            row_rendered($row);
        }
        $batch[] = $row;
        if (count($batch) === VM_EXPORT_BATCH) {
            yield [$batch, vm_rows_lookup_labels($t, $batch, $cols)];
            $batch = [];
        }
    }
    if ($batch !== []) {
        yield [$batch, vm_rows_lookup_labels($t, $batch, $cols)];
    }
}

/** The rows of a document one at a time: [row, labels]. */
function vm_export_rows(array $doc): Generator
{
    foreach (($doc['batches'])() as [$rows, $labels]) {
        foreach ($rows as $row) {
            yield [$row, $labels];
        }
    }
}

/**
 * How a field's value goes into a data format: 'text' (its displayed text: lookups, fixed
 * values, Booleans, passwords, binary columns), 'number', 'date', 'datetime', 'time' or 'raw'.
 */
function vm_export_kind(array $f): string
{
    if ($f['lookup'] !== null || $f['values'] !== [] || vm_is_bool_field($f) || $f['tag'] === 'PASSWORD'
        || vm_is_blob_field($f)) {
        return 'text';
    }
    return match ($f['type']) {
        'int', 'float', 'decimal' => 'number',
        'date', 'datetime', 'time' => $f['type'],
        default => 'raw',
    };
}

/** The value of a field in a data format: the displayed text for 'text' kinds, else as stored. */
function vm_export_value(array $f, string $kind, mixed $v, array $labels): string
{
    return $kind === 'text' ? vm_display_text($f, $v, $labels) : vm_str($v);
}

/**
 * A cell as a spreadsheet gets it. Text a spreadsheet would read as a formula (it starts with =,
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

/** Writes the document in the format to the stream. */
function vm_export_write(string $format, array $doc, $out): void
{
    match ($format) {
        'csv' => vm_export_csv($doc, $out),
        'xlsx' => vm_export_xlsx($doc, $out),
        'docx' => vm_export_docx($doc, $out),
        'xml' => vm_export_xml($doc, $out),
        'json' => vm_export_json($doc, $out),
        'pdf' => vm_export_pdf($doc, $out),
        'print', 'html' => vm_export_html($doc, $out, $format === 'print', PHP_INT_MAX),
    };
}

function vm_export_csv(array $doc, $out): void
{
    $t = $doc['table'];
    if (vm_charset() === 'utf-8') {
        fwrite($out, "\xEF\xBB\xBF");   // how spreadsheets tell UTF-8 from their local code page
    }
    $line = [];
    foreach ($doc['cols'] as $col) {
        $line[] = vm_csv_cell($t['fields'][$col]['caption'], false);
    }
    fputcsv($out, $line, ',', '"', '', "\r\n");
    $kinds = array_map(static fn($col) => vm_export_kind($t['fields'][$col]), $doc['cols']);
    foreach (vm_export_rows($doc) as [$row, $labels]) {
        $line = [];
        foreach ($doc['cols'] as $i => $col) {
            $v = vm_export_value($t['fields'][$col], $kinds[$i], $row[$col] ?? null, $labels[$col] ?? []);
            $line[] = vm_csv_cell($v, $kinds[$i] === 'number');
        }
        fputcsv($out, $line, ',', '"', '', "\r\n");
    }
}

/** Text for XML: escaped, without the control characters XML cannot hold. */
function vm_xml(string $v): string
{
    if (preg_match('/^[^\x00-\x08\x0B\x0C\x0E-\x1F<>&"\'\r]*$/uD', $v) === 1) {
        return $v;   // the common case: valid UTF-8 with nothing to escape
    }
    $v = preg_replace('/[\x00-\x08\x0B\x0C\x0E-\x1F]/', '', $v) ?? '';
    // a carriage return as a reference: a parser would read it as a line feed
    return str_replace("\r", '&#13;', htmlspecialchars($v, ENT_XML1 | ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8'));
}

function vm_export_xml(array $doc, $out): void
{
    $t = $doc['table'];
    fwrite($out, '<?xml version="1.0" encoding="UTF-8"?>' . "\n" . '<table name="' . vm_xml($t['name'])
        . '" caption="' . vm_xml($doc['title']) . "\">\n  <columns>\n");
    $kinds = [];
    foreach ($doc['cols'] as $col) {
        $f = $t['fields'][$col];
        $kinds[$col] = vm_export_kind($f);
        fwrite($out, '    <column name="' . vm_xml($col) . '" caption="' . vm_xml($f['caption']) . '" type="'
            . ($kinds[$col] === 'text' ? 'string' : $f['type']) . "\"/>\n");
    }
    fwrite($out, "  </columns>\n");
    foreach (vm_export_rows($doc) as [$row, $labels]) {
        $xml = "  <row>\n";
        foreach ($doc['cols'] as $col) {
            $v = $row[$col] ?? null;
            $xml .= '    <field name="' . vm_xml($col) . '"' . ($v === null ? ' null="true"/>' : '>'
                . vm_xml(vm_export_value($t['fields'][$col], $kinds[$col], $v, $labels[$col] ?? [])) . '</field>') . "\n";
        }
        fwrite($out, $xml . "  </row>\n");
    }
    fwrite($out, "</table>\n");
}

function vm_export_json(array $doc, $out): void
{
    $t = $doc['table'];
    $flags = JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES | JSON_INVALID_UTF8_SUBSTITUTE;
    $columns = [];
    $kinds = [];
    foreach ($doc['cols'] as $col) {
        $f = $t['fields'][$col];
        $kinds[$col] = vm_export_kind($f);
        $columns[] = ['name' => $col, 'caption' => $f['caption'], 'type' => $kinds[$col] === 'text' ? 'string' : $f['type']];
    }
    fwrite($out, '{"table":' . json_encode($t['name'], $flags) . ',"caption":' . json_encode($doc['title'], $flags)
        . ',"columns":' . json_encode($columns, $flags) . ',"rows":[');
    $first = true;
    foreach (vm_export_rows($doc) as [$row, $labels]) {
        $parts = [];
        foreach ($doc['cols'] as $col) {
            $v = $row[$col] ?? null;
            if ($v === null) {
                $json = 'null';
            } else {
                $s = vm_export_value($t['fields'][$col], $kinds[$col], $v, $labels[$col] ?? []);
                // a number is written as the database gave it, so no digit of a decimal is lost
                $json = $kinds[$col] === 'number' && preg_match('/^-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?$/D', $s)
                    ? $s : json_encode($s, $flags);
            }
            $parts[] = json_encode((string) $col, $flags) . ':' . $json;
        }
        fwrite($out, ($first ? "\n{" : ",\n{") . implode(',', $parts) . '}');
        $first = false;
    }
    fwrite($out, "\n]}\n");
}

/**
 * An HTML document of the rows: the printer-friendly page (shown in the browser, with the
 * application's stylesheet) or a file standing alone (its style inside). At most $max rows; the
 * rest is left out with a note.
 */
function vm_export_html($doc, $out, bool $print, int $max): void
{
    $t = $doc['table'];
    fwrite($out, "<!DOCTYPE html>\n<html lang=\"" . vm_h(vm_lang()->Locale('html_lang', 'en')) . "\">\n<head>\n"
        . '<meta charset="' . vm_h(vm_charset()) . "\">\n<title>" . vm_h($doc['title']) . "</title>\n"
        . ($print ? "<link rel=\"stylesheet\" href=\"css/app.css\">\n"
            : "<style>body{font-family:'DejaVu Sans',Arial,sans-serif;font-size:10pt;margin:1em}h1{font-size:14pt}"
            . 'table{border-collapse:collapse}th,td{border:1px solid #999;padding:2px 5px;vertical-align:top;text-align:left}'
            . "th{background:#eee}.vm-right{text-align:right}.vm-center{text-align:center}</style>\n")
        . "</head>\n<body class=\"vm-print\">\n");
    if ($print) {
        fwrite($out, '<div class="vm-toolbar">' . vm_link((string) ($doc['back'] ?? 'index.php'), vm_phrase('Back')) . "</div>\n");
    }
    fwrite($out, '<h1>' . vm_h($doc['title']) . "</h1>\n");
    $n = 0;
    if ($doc['record']) {
        fwrite($out, "<table class=\"vm-record\">\n");
        foreach (vm_export_rows($doc) as [$row, $labels]) {
            foreach ($doc['cols'] as $col) {
                $f = $t['fields'][$col];
                fwrite($out, '<tr><th scope="row">' . vm_h($f['caption']) . '</th><td>'
                    . vm_display_html($f, $row[$col] ?? null, $labels[$col] ?? []) . "</td></tr>\n");
            }
        }
        fwrite($out, "</table>\n");
    } else {
        fwrite($out, "<table class=\"vm-grid\">\n<thead><tr>");
        foreach ($doc['cols'] as $col) {
            fwrite($out, '<th' . vm_align_class($t['fields'][$col]) . '>' . vm_h($t['fields'][$col]['caption']) . '</th>');
        }
        fwrite($out, "</tr></thead>\n<tbody>\n");
        foreach (vm_export_rows($doc) as [$row, $labels]) {
            if (++$n > $max) {
                break;
            }
            $html = '<tr>';
            foreach ($doc['cols'] as $col) {
                $f = $t['fields'][$col];
                $html .= '<td' . vm_align_class($f) . '>' . vm_display_html($f, $row[$col] ?? null, $labels[$col] ?? []) . '</td>';
            }
            fwrite($out, $html . "</tr>\n");
        }
        fwrite($out, "</tbody></table>\n");
        if ($n > $max) {
            fwrite($out, '<p>' . vm_h(vm_phrase_fill('ExportCut', ['count' => $max])) . "</p>\n");
        }
    }
    fwrite($out, "</body>\n</html>\n");
}

/** A PDF of the rows, laid out from the HTML document by dompdf. */
function vm_export_pdf(array $doc, $out): void
{
    if (!vm_library('dompdf')) {
        throw new RuntimeException(vm_library_missing_text('dompdf'));
    }
    $html = fopen('php://temp', 'w+b');
    vm_export_html($doc, $html, false, VM_PDF_MAX_ROWS);
    rewind($html);
    $tmp = sys_get_temp_dir() . '/velmora-dompdf-' . substr(hash('sha256', VM_APP_DIR), 0, 8);
    if (!is_dir($tmp)) {
        @mkdir($tmp, 0700, true);
    }
    $options = new Dompdf\Options();
    $options->setIsRemoteEnabled(false);
    $options->setIsPhpEnabled(false);
    $options->setIsJavascriptEnabled(false);
    $options->setDefaultFont('DejaVu Sans');
    $options->setTempDir($tmp);
    $options->setFontCache($tmp);
    $options->setChroot([VM_APP_DIR]);
    // DejaVu Sans has every letter; Debian's package ships its fonts without the metrics dompdf
    // reads, which are then made once from the font files into the temporary folder
    $fonts = $options->getRootDir() . '/lib/fonts';
    $register = !is_file($fonts . '/DejaVuSans.ufm') && is_file($fonts . '/DejaVuSans.ttf');
    if ($register) {
        $options->setFontDir($tmp);
        $options->setChroot([VM_APP_DIR, dirname((string) realpath($fonts . '/DejaVuSans.ttf'))]);
    }
    $pdf = new Dompdf\Dompdf($options);
    if ($register) {
        foreach (['normal normal' => '', 'bold normal' => '-Bold', 'normal italic' => '-Oblique',
            'bold italic' => '-BoldOblique'] as $style => $suffix) {
            [$weight, $slant] = explode(' ', $style);
            $pdf->getFontMetrics()->registerFont(['family' => 'DejaVu Sans', 'weight' => $weight, 'style' => $slant],
                'file://' . realpath($fonts . '/DejaVuSans' . $suffix . '.ttf'));
        }
    }
    $pdf->loadHtml((string) stream_get_contents($html), 'UTF-8');
    fclose($html);
    $pdf->setPaper('A4', !$doc['record'] && count($doc['cols']) > 5 ? 'landscape' : 'portrait');
    $pdf->render();
    fwrite($out, (string) $pdf->output());
}

/**
 * Sends the document as a download of the format (the printer-friendly page is shown instead) and
 * ends the page. Files made from parts (.xlsx, .docx) and PDFs are made first, so a failure still
 * gives an error page; the others stream as the rows are read.
 */
function vm_export_send(string $format, array $doc, string $name): never
{
    [, $type, $ext] = VM_EXPORT_FORMATS[$format];
    $needs = ['xlsx' => 'zip', 'docx' => 'zip', 'pdf' => 'dompdf'][$format] ?? '';
    if ($needs !== '' && !vm_library($needs)) {
        vm_library_missing_page($needs);
    }
    $text = in_array($format, ['print', 'html', 'csv'], true) ? '; charset=' . vm_charset()
        : (in_array($format, ['xml', 'json'], true) ? '; charset=utf-8' : '');
    if ($needs !== '') {
        $file = tmpfile() ?: throw new RuntimeException('no temporary file');
        vm_export_write($format, $doc, $file);
        vm_stream_output();
        vm_export_headers($type . $text, $ext, $name);
        header('Content-Length: ' . (string) fstat($file)['size']);
        rewind($file);
        fpassthru($file);
        fclose($file);
        throw new VmStop();
    }
    vm_stream_output();
    vm_export_headers($type . $text, $ext, $name);
    $out = fopen('php://output', 'wb');
    vm_export_write($format, $doc, $out);
    fclose($out);
    throw new VmStop();
}

function vm_export_headers(string $type, string $ext, string $name): void
{
    header('Content-Type: ' . $type);
    if ($ext !== '') {
        header('Content-Disposition: attachment; filename="' . $name . '.' . $ext . '"');
    }
    header('Cache-Control: private, no-store');
}

/** The file name of an export: the table's var, and the key of an exported record. */
function vm_export_name(array $t, ?array $key = null): string
{
    $parts = [$t['var']];
    foreach ($key ?? [] as $v) {
        $parts[] = preg_replace('/[^A-Za-z0-9_-]/', '_', (string) $v);
    }
    return implode('_', $parts);
}
