<?php
declare(strict_types=1);

/**
 * Excel (.xlsx) and Word (.docx) files written as Office Open XML: the sheet or document body is
 * written row by row to a temporary file, which ZipArchive packs with the few fixed parts.
 * Spreadsheet cells are typed: numbers as numbers, dates and times as date serials with a date
 * style, everything else as text (inline strings).
 */

const VM_OOXML_REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships';
const VM_OOXML_PKG = 'http://schemas.openxmlformats.org/package/2006';

/** Packs the parts (name => content, or ['file' => path]) into a zip written to $out. */
function vm_ooxml_pack(array $parts, $out): void
{
    $zipFile = tempnam(sys_get_temp_dir(), 'vmzip');
    $zip = new ZipArchive();
    if ($zipFile === false || $zip->open($zipFile, ZipArchive::OVERWRITE) !== true) {
        throw new RuntimeException('cannot create a zip file');
    }
    foreach ($parts as $name => $content) {
        if (is_array($content)) {
            $zip->addFile($content['file'], $name);
            // the fastest deflate: several times quicker than the default level, files a third larger
            $zip->setCompressionName($name, ZipArchive::CM_DEFLATE, 1);
        } else {
            $zip->addFromString($name, $content);
        }
    }
    if (!$zip->close()) {
        throw new RuntimeException('cannot write a zip file');
    }
    $in = fopen($zipFile, 'rb');
    stream_copy_to_stream($in, $out);
    fclose($in);
    unlink($zipFile);
}

/** The spreadsheet column letters of a 0-based index: 0 A, 25 Z, 26 AA. */
function vm_xlsx_column(int $i): string
{
    $s = '';
    for ($i++; $i > 0; $i = intdiv($i - 1, 26)) {
        $s = chr(65 + ($i - 1) % 26) . $s;
    }
    return $s;
}

/**
 * The date serial of a date, date-time or time value (days since 1899-12-30, the time as a
 * fraction), or null when it is none or lies before March 1900, where spreadsheets count wrong.
 */
function vm_xlsx_serial(string $v, string $kind): ?string
{
    $days = 0;
    if ($kind === 'time') {
        if (!preg_match('/^(\d{1,2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?$/D', $v, $m)) {
            return null;
        }
        $clock = [$m[1], $m[2], $m[3] ?? 0];
    } else {
        if (!preg_match('/^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2}))?)?/', $v, $m)
            || !checkdate((int) $m[2], (int) $m[3], (int) $m[1])) {
            return null;
        }
        $days = intdiv(gmmktime(0, 0, 0, (int) $m[2], (int) $m[3], (int) $m[1]), 86400) + 25569;
        if ($days < 61) {
            return null;
        }
        $clock = [$m[4] ?? 0, $m[5] ?? 0, $m[6] ?? 0];
    }
    $seconds = (int) $clock[0] * 3600 + (int) $clock[1] * 60 + (int) $clock[2];
    if ($seconds === 0) {
        return (string) $days;
    }
    return rtrim(rtrim(sprintf('%.10F', $days + $seconds / 86400), '0'), '.');
}

/** A spreadsheet number format from a date() pattern (Y-m-d gives yyyy-mm-dd). */
function vm_xlsx_date_format(string $pattern): string
{
    $map = ['Y' => 'yyyy', 'y' => 'yy', 'm' => 'mm', 'n' => 'm', 'd' => 'dd', 'j' => 'd', 'H' => 'hh', 'G' => 'h',
        'i' => 'mm', 's' => 'ss', 'M' => 'mmm', 'F' => 'mmmm', 'D' => 'ddd', 'l' => 'dddd', 'A' => 'AM/PM', 'h' => 'h'];
    $out = '';
    foreach (str_split($pattern) as $c) {
        $out .= $map[$c] ?? (ctype_alnum($c) ? '' : '\\' . $c);
    }
    return $out;
}

/** The number format of a column's cells, '' for the general one. */
function vm_xlsx_number_format(array $f, string $kind): string
{
    $lang = vm_lang();
    return match ($kind) {
        'date' => vm_xlsx_date_format($f['date_format'] !== '' ? $f['date_format'] : $lang->Locale('date_format', 'Y-m-d')),
        'datetime' => vm_xlsx_date_format($f['date_format'] !== '' ? $f['date_format'] . ' H:i:s'
            : $lang->Locale('datetime_format', 'Y-m-d H:i:s')),
        'time' => 'hh:mm:ss',
        'number' => match ($f['format']) {
            'currency' => '#,##0.00',
            'percent' => '0.00%',
            'number' => $f['type'] === 'int' ? '#,##0' : '#,##0.00',
            default => '',
        },
        default => '',
    };
}

function vm_export_xlsx(array $doc, $out): void
{
    $t = $doc['table'];
    $cols = $doc['cols'];
    // styles: 0 general, 1 header (bold), then one per number format in use
    $formats = [];
    $kinds = [];
    $styles = [];
    $xml = '<cols>';
    foreach ($cols as $i => $col) {
        $f = $t['fields'][$col];
        $kinds[$i] = vm_export_kind($f);
        $code = vm_xlsx_number_format($f, $kinds[$i]);
        if ($code !== '' && !isset($formats[$code])) {
            $formats[$code] = count($formats);
        }
        $styles[$i] = $code === '' ? 0 : 2 + $formats[$code];
        $width = match ($kinds[$i]) {
            'date', 'time' => 12, 'datetime' => 20, 'number' => 12,
            default => min(50, max(10, mb_strlen($f['caption']) + 2, $f['type'] === 'text' ? 40
                : ($f['lookup'] !== null || $f['values'] !== [] ? 20 : min(30, (int) $f['size'])))),
        };
        $xml .= '<col min="' . ($i + 1) . '" max="' . ($i + 1) . '" width="' . $width . '" customWidth="1"/>';
    }
    $letters = array_map('vm_xlsx_column', array_keys($cols));

    $sheetFile = tempnam(sys_get_temp_dir(), 'vmxls');
    $sheet = fopen($sheetFile, 'wb');
    fwrite($sheet, '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' . "\n"
        . '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="' . VM_OOXML_REL . '">'
        . '<sheetViews><sheetView workbookViewId="0"><pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>'
        . '</sheetView></sheetViews>' . $xml . '</cols><sheetData><row r="1">');
    foreach ($cols as $i => $col) {
        fwrite($sheet, '<c r="' . $letters[$i] . '1" t="inlineStr" s="1"><is><t xml:space="preserve">'
            . vm_xml(vm_csv_cell($t['fields'][$col]['caption'], false)) . '</t></is></c>');
    }
    fwrite($sheet, '</row>');
    $r = 1;
    foreach (vm_export_rows($doc) as [$row, $labels]) {
        $r++;
        $xml = '<row r="' . $r . '">';
        foreach ($cols as $i => $col) {
            $v = $row[$col] ?? null;
            if ($v === null) {
                continue;
            }
            $f = $t['fields'][$col];
            $s = vm_export_value($f, $kinds[$i], $v, $labels[$col] ?? []);
            if ($s === '') {
                continue;
            }
            $ref = $letters[$i] . $r;
            $number = match ($kinds[$i]) {
                'number' => preg_match('/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/D', $s) ? $s : null,
                'date', 'datetime', 'time' => vm_xlsx_serial($s, $kinds[$i]),
                default => null,
            };
            if ($number !== null) {
                $xml .= '<c r="' . $ref . '"' . ($styles[$i] !== 0 ? ' s="' . $styles[$i] . '"' : '') . '><v>' . $number . '</v></c>';
            } else {
                $text = vm_csv_cell($s, false);
                if (strlen($text) > 32767) {
                    $text = mb_substr($text, 0, 32767);   // what a cell holds at most
                }
                $xml .= '<c r="' . $ref . '" t="inlineStr"><is><t' . (trim($text) !== $text ? ' xml:space="preserve"' : '')
                    . '>' . vm_xml($text) . '</t></is></c>';
            }
        }
        fwrite($sheet, $xml . '</row>');
    }
    fwrite($sheet, '</sheetData><pageMargins left="0.5" right="0.5" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
        . '</worksheet>');
    fclose($sheet);

    $numFmts = '';
    $xfs = '<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
        . '<xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"/>';
    foreach ($formats as $code => $n) {
        $numFmts .= '<numFmt numFmtId="' . (164 + $n) . '" formatCode="' . vm_xml($code) . '"/>';
        $xfs .= '<xf numFmtId="' . (164 + $n) . '" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>';
    }
    $main = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main';
    $sheetName = mb_substr(trim(preg_replace('#[\[\]:*?/\\\\]#', ' ', $doc['title']) ?? '') ?: 'Sheet1', 0, 31);
    $head = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' . "\n";
    try {
        vm_ooxml_pack([
            '[Content_Types].xml' => $head . '<Types xmlns="' . VM_OOXML_PKG . '/content-types">'
                . '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                . '<Default Extension="xml" ContentType="application/xml"/>'
                . '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                . '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                . '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
                . '</Types>',
            '_rels/.rels' => $head . '<Relationships xmlns="' . VM_OOXML_PKG . '/relationships">'
                . '<Relationship Id="rId1" Type="' . VM_OOXML_REL . '/officeDocument" Target="xl/workbook.xml"/></Relationships>',
            'xl/workbook.xml' => $head . '<workbook xmlns="' . $main . '" xmlns:r="' . VM_OOXML_REL . '"><sheets>'
                . '<sheet name="' . vm_xml($sheetName) . '" sheetId="1" r:id="rId1"/></sheets></workbook>',
            'xl/_rels/workbook.xml.rels' => $head . '<Relationships xmlns="' . VM_OOXML_PKG . '/relationships">'
                . '<Relationship Id="rId1" Type="' . VM_OOXML_REL . '/worksheet" Target="worksheets/sheet1.xml"/>'
                . '<Relationship Id="rId2" Type="' . VM_OOXML_REL . '/styles" Target="styles.xml"/></Relationships>',
            'xl/styles.xml' => $head . '<styleSheet xmlns="' . $main . '">'
                . ($numFmts !== '' ? '<numFmts count="' . count($formats) . '">' . $numFmts . '</numFmts>' : '')
                . '<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="11"/><name val="Calibri"/></font></fonts>'
                . '<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>'
                . '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>'
                . '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
                . '<cellXfs count="' . (2 + count($formats)) . '">' . $xfs . '</cellXfs>'
                . '<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles></styleSheet>',
            'xl/worksheets/sheet1.xml' => ['file' => $sheetFile],
        ], $out);
    } finally {
        @unlink($sheetFile);
    }
}

/** A paragraph of a Word table cell; line breaks stay, $bold for headings, $align right or center. */
function vm_docx_cell(string $text, bool $bold = false, string $align = ''): string
{
    $runs = [];
    foreach (preg_split('/\r\n|\r|\n/', $text) ?: [''] as $line) {
        $runs[] = '<w:t xml:space="preserve">' . vm_xml($line) . '</w:t>';
    }
    return '<w:tc><w:p>' . ($align !== '' ? '<w:pPr><w:jc w:val="' . $align . '"/></w:pPr>' : '')
        . '<w:r>' . ($bold ? '<w:rPr><w:b/></w:rPr>' : '') . implode('<w:br/>', $runs) . '</w:r></w:p></w:tc>';
}

function vm_export_docx(array $doc, $out): void
{
    $t = $doc['table'];
    $cols = $doc['cols'];
    $landscape = !$doc['record'] && count($cols) > 5;
    // A4 in twentieths of a point, with half-inch margins
    [$pageW, $pageH] = $landscape ? [16838, 11906] : [11906, 16838];
    $usable = $pageW - 1440;
    $grid = $doc['record'] ? [intdiv($usable, 3), $usable - intdiv($usable, 3)] : array_fill(0, count($cols), intdiv($usable, max(1, count($cols))));
    $bodyFile = tempnam(sys_get_temp_dir(), 'vmdoc');
    $body = fopen($bodyFile, 'wb');
    $border = 'w:val="single" w:sz="4" w:space="0" w:color="999999"';
    fwrite($body, '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' . "\n"
        . '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>'
        . '<w:p><w:pPr><w:spacing w:after="160"/></w:pPr><w:r><w:rPr><w:b/><w:sz w:val="32"/></w:rPr><w:t xml:space="preserve">'
        . vm_xml($doc['title']) . '</w:t></w:r></w:p>'
        . '<w:tbl><w:tblPr><w:tblW w:w="5000" w:type="pct"/><w:tblBorders><w:top ' . $border . '/><w:left ' . $border
        . '/><w:bottom ' . $border . '/><w:right ' . $border . '/><w:insideH ' . $border . '/><w:insideV ' . $border
        . '/></w:tblBorders><w:tblLayout w:type="fixed"/></w:tblPr><w:tblGrid>');
    foreach ($grid as $w) {
        fwrite($body, '<w:gridCol w:w="' . $w . '"/>');
    }
    fwrite($body, '</w:tblGrid>');
    if (!$doc['record']) {
        $xml = '<w:tr><w:trPr><w:tblHeader/></w:trPr>';
        foreach ($cols as $col) {
            $xml .= vm_docx_cell($t['fields'][$col]['caption'], true);
        }
        fwrite($body, $xml . '</w:tr>');
    }
    foreach (vm_export_rows($doc) as [$row, $labels]) {
        if ($doc['record']) {
            foreach ($cols as $col) {
                $f = $t['fields'][$col];
                fwrite($body, '<w:tr>' . vm_docx_cell($f['caption'], true)
                    . vm_docx_cell(vm_display_text($f, $row[$col] ?? null, $labels[$col] ?? [])) . '</w:tr>');
            }
            continue;
        }
        $xml = '<w:tr>';
        foreach ($cols as $col) {
            $f = $t['fields'][$col];
            $align = trim(str_replace(['class="vm-', '"'], '', vm_align_class($f)));
            $xml .= vm_docx_cell(vm_display_text($f, $row[$col] ?? null, $labels[$col] ?? []), false,
                $align === 'left' ? '' : $align);
        }
        fwrite($body, $xml . '</w:tr>');
    }
    fwrite($body, '</w:tbl><w:p/><w:sectPr><w:pgSz w:w="' . $pageW . '" w:h="' . $pageH . '"'
        . ($landscape ? ' w:orient="landscape"' : '') . '/><w:pgMar w:top="720" w:right="720" w:bottom="720" w:left="720"'
        . ' w:header="360" w:footer="360" w:gutter="0"/></w:sectPr></w:body></w:document>');
    fclose($body);
    $head = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' . "\n";
    try {
        vm_ooxml_pack([
            '[Content_Types].xml' => $head . '<Types xmlns="' . VM_OOXML_PKG . '/content-types">'
                . '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                . '<Default Extension="xml" ContentType="application/xml"/>'
                . '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
                . '</Types>',
            '_rels/.rels' => $head . '<Relationships xmlns="' . VM_OOXML_PKG . '/relationships">'
                . '<Relationship Id="rId1" Type="' . VM_OOXML_REL . '/officeDocument" Target="word/document.xml"/></Relationships>',
            'word/document.xml' => ['file' => $bodyFile],
        ], $out);
    } finally {
        @unlink($bodyFile);
    }
}
