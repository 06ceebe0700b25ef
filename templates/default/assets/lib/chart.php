<?php
declare(strict_types=1);

/** Charts of a list: the rows the list selects, summarised by a column, drawn as SVG. */

const VM_CHART_COLORS = ['#2e6da4', '#e67e22', '#27ae60', '#8e44ad', '#c0392b', '#16a085', '#d4ac0d', '#7f8c8d'];
const VM_CHART_MAX_POINTS = 60;

/** [label, value] pairs: the chart's Y column summarised per X value, under the list's filter. */
function vm_chart_data(array $t, array $c, array $ctx): array
{
    if (!isset($t['fields'][$c['x']])) {
        return [];
    }
    $summary = in_array($c['summary'], ['SUM', 'COUNT', 'AVG', 'MIN', 'MAX'], true) ? $c['summary'] : 'SUM';
    $y = isset($t['fields'][$c['y']]) ? vm_qi($c['y']) : null;
    $value = $y === null || $summary === 'COUNT' ? 'COUNT(*)' : $summary . '(' . $y . ')';
    $order = match ((int) $c['sort']) {
        2 => '1 DESC',
        3 => '2 ASC, 1 ASC',
        4 => '2 DESC, 1 ASC',
        default => '1 ASC',
    };
    $x = vm_qi($c['x']);
    $sql = 'SELECT ' . $x . ', ' . $value . ' FROM ' . vm_from($t) . $ctx['where']
        . ' GROUP BY ' . $x . ' ORDER BY ' . $order . ' LIMIT ' . VM_CHART_MAX_POINTS;
    $rows = vm_query($sql, $ctx['params'])->fetchAll(PDO::FETCH_NUM);
    $labels = vm_rows_lookup_labels($t, array_map(static fn($r) => [$c['x'] => $r[0]], $rows), [$c['x']]);
    $data = [];
    foreach ($rows as $r) {
        $data[] = [vm_display_text($t['fields'][$c['x']], $r[0], $labels[$c['x']] ?? []), (float) $r[1]];
    }
    return $data;
}

/** A number for an axis or a label: no trailing zeros, thousands grouped. */
function vm_chart_number(float $v): string
{
    $text = number_format($v, abs($v - round($v)) < 1e-9 ? 0 : 2);
    return str_contains($text, '.') ? rtrim(rtrim($text, '0'), '.') : $text;
}

/** A short label for the X axis. */
function vm_chart_label(string $text): string
{
    return preg_match('/^(.{13}).{2,}/us', $text, $m) ? $m[1] . '…' : $text;
}

function vm_chart_svg(array $c, array $data): string
{
    $w = max(240, (int) $c['width']);
    $h = max(160, (int) $c['height']);
    $svg = '<svg class="vm-chart-svg" xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ' . $w . ' ' . $h
        . '" role="img" aria-label="' . vm_h($c['caption']) . '"><title>' . vm_h($c['caption']) . '</title>';
    $svg .= $c['type'] === 'pie' ? vm_chart_pie($c, $data, $w, $h) : vm_chart_axes($c, $data, $w, $h);
    return $svg . '</svg>';
}

/** Bars, a line or an area over a value axis, with the trend lines. */
function vm_chart_axes(array $c, array $data, int $w, int $h): string
{
    $left = 60;
    $right = 12;
    $top = 14;
    $rotate = count($data) > 8;
    $bottom = $rotate ? 78 : 34;
    $plotW = $w - $left - $right;
    $plotH = $h - $top - $bottom;
    $values = array_column($data, 1);
    foreach ($c['trends'] as $trend) {
        $values[] = (float) $trend['start'];
        $values[] = (float) $trend['end'];
    }
    $max = max([0.0, ...$values]);
    $min = min([0.0, ...$values]);
    if ($max === $min) {
        $max = $min + 1;
    }
    $yOf = static fn(float $v): float => $top + $plotH * ($max - $v) / ($max - $min);
    $out = '';
    $lines = max(1, (int) $c['grid']);
    for ($i = 0; $i <= $lines; $i++) {
        $v = $min + ($max - $min) * $i / $lines;
        $y = round($yOf($v), 1);
        $out .= '<line x1="' . $left . '" y1="' . $y . '" x2="' . ($w - $right) . '" y2="' . $y
            . '" stroke="#e3e6ea"/><text x="' . ($left - 6) . '" y="' . ($y + 4)
            . '" text-anchor="end" font-size="13" fill="#555">' . vm_h(vm_chart_number($v)) . '</text>';
    }
    $n = max(1, count($data));
    $step = $plotW / $n;
    $zero = $yOf(0.0);
    $points = [];
    foreach ($data as $i => [$label, $value]) {
        $cx = $left + $step * ($i + 0.5);
        $y = $yOf($value);
        if ($c['type'] === 'bar') {
            $bw = max(2.0, $step * 0.7);
            $out .= '<rect x="' . round($cx - $bw / 2, 1) . '" y="' . round(min($y, $zero), 1) . '" width="'
                . round($bw, 1) . '" height="' . round(abs($zero - $y), 1) . '" fill="' . VM_CHART_COLORS[0]
                . '"><title>' . vm_h($label . ': ' . vm_chart_number($value)) . '</title></rect>';
        }
        $points[] = round($cx, 1) . ',' . round($y, 1);
        $lx = round($cx, 1);
        $ly = $top + $plotH + 14;
        $out .= $rotate
            ? '<text x="' . $lx . '" y="' . $ly . '" font-size="13" fill="#333" text-anchor="end" transform="rotate(-45 '
                . $lx . ' ' . $ly . ')">' . vm_h(vm_chart_label($label)) . '</text>'
            : '<text x="' . $lx . '" y="' . $ly . '" font-size="13" fill="#333" text-anchor="middle">'
                . vm_h(vm_chart_label($label)) . '</text>';
        if ($c['values']) {
            $out .= '<text x="' . $lx . '" y="' . round($y - 4, 1) . '" font-size="12" fill="#222" text-anchor="middle">'
                . vm_h(vm_chart_number($value)) . '</text>';
        }
    }
    if ($c['type'] !== 'bar' && $points !== []) {
        if ($c['type'] === 'area') {
            $first = explode(',', $points[0])[0];
            $last = explode(',', end($points))[0];
            $out .= '<polygon points="' . $first . ',' . round($zero, 1) . ' ' . implode(' ', $points) . ' ' . $last
                . ',' . round($zero, 1) . '" fill="' . VM_CHART_COLORS[0] . '" fill-opacity="0.3"/>';
        }
        $out .= '<polyline points="' . implode(' ', $points) . '" fill="none" stroke="' . VM_CHART_COLORS[0]
            . '" stroke-width="2"/>';
        foreach ($points as $p) {
            [$px, $py] = explode(',', $p);
            $out .= '<circle cx="' . $px . '" cy="' . $py . '" r="3" fill="' . VM_CHART_COLORS[0] . '"/>';
        }
    }
    foreach ($c['trends'] as $trend) {
        $y1 = round($yOf((float) $trend['start']), 1);
        $y2 = round($yOf((float) $trend['end']), 1);
        $color = vm_h($trend['color']);
        $out .= $trend['zone']
            ? '<rect x="' . $left . '" y="' . min($y1, $y2) . '" width="' . $plotW . '" height="' . abs($y1 - $y2)
                . '" fill="' . $color . '" fill-opacity="0.15"/>'
            : '<line x1="' . $left . '" y1="' . $y1 . '" x2="' . ($w - $right) . '" y2="' . $y2 . '" stroke="'
                . $color . '" stroke-width="2" stroke-dasharray="6 4"/>';
        $out .= '<text x="' . ($w - $right - 4) . '" y="' . (min($y1, $y2) - 4) . '" font-size="13" text-anchor="end" fill="'
            . $color . '" stroke="#fff" stroke-width="3" paint-order="stroke">' . vm_h($trend['caption']) . '</text>';
    }
    $out .= '<line x1="' . $left . '" y1="' . round($zero, 1) . '" x2="' . ($w - $right) . '" y2="' . round($zero, 1)
        . '" stroke="#555"/>';
    if ($c['y_name'] !== '') {
        $out .= '<text x="4" y="' . ($top - 2) . '" font-size="13" fill="#555">' . vm_h($c['y_name']) . '</text>';
    }
    if ($c['x_name'] !== '') {
        $out .= '<text x="' . ($left + $plotW / 2) . '" y="' . ($h - 4) . '" font-size="13" text-anchor="middle" fill="#555">'
            . vm_h($c['x_name']) . '</text>';
    }
    return $out;
}

/** Slices with their share, and a legend beside them. */
function vm_chart_pie(array $c, array $data, int $w, int $h): string
{
    $data = array_values(array_filter($data, static fn($d) => $d[1] > 0));
    $total = array_sum(array_column($data, 1));
    if ($total <= 0) {
        return '';
    }
    $r = min($h / 2 - 10, $w * 0.25);
    $cx = $r + 10;
    $cy = $h / 2;
    $out = '';
    $angle = -M_PI / 2;
    foreach ($data as $i => [$label, $value]) {
        $color = VM_CHART_COLORS[$i % count(VM_CHART_COLORS)];
        $share = $value / $total;
        $tip = '<title>' . vm_h($label . ': ' . vm_chart_number($value) . ' (' . round($share * 100, 1) . '%)') . '</title>';
        if ($share >= 0.9999) {
            $out .= '<circle cx="' . round($cx, 1) . '" cy="' . round($cy, 1) . '" r="' . round($r, 1) . '" fill="' . $color
                . '">' . $tip . '</circle>';
        } else {
            $end = $angle + 2 * M_PI * $share;
            $large = $share > 0.5 ? 1 : 0;
            $out .= '<path d="M' . round($cx, 1) . ',' . round($cy, 1)
                . ' L' . round($cx + $r * cos($angle), 1) . ',' . round($cy + $r * sin($angle), 1)
                . ' A' . round($r, 1) . ',' . round($r, 1) . ' 0 ' . $large . ' 1 '
                . round($cx + $r * cos($end), 1) . ',' . round($cy + $r * sin($end), 1) . ' Z" fill="' . $color
                . '" stroke="#fff">' . $tip . '</path>';
            $angle = $end;
        }
        if ($i < 12) {
            $ly = 18 + $i * 20;
            $legend = vm_chart_label($label) . ($c['values'] ? ' ' . vm_chart_number($value) : '')
                . ' (' . round($share * 100) . '%)';
            $out .= '<rect x="' . round(2 * $r + 24, 1) . '" y="' . ($ly - 10) . '" width="12" height="12" fill="' . $color
                . '"/><text x="' . round(2 * $r + 42, 1) . '" y="' . $ly . '" font-size="14" fill="#333">' . vm_h($legend)
                . '</text>';
        }
    }
    return $out;
}

/** The charts of the list at this position ('top' or 'bottom'), each in its figure. */
function vm_charts_html(array $t, array $ctx, string $position): string
{
    $html = '';
    foreach ($t['charts'] as $c) {
        if (!is_array($c) || ($c['position'] ?? 'top') !== $position) {
            continue;
        }
        $c += ['caption' => '', 'type' => 'bar', 'x' => '', 'y' => '', 'summary' => '', 'sort' => 0, 'width' => 480,
            'height' => 300, 'grid' => 4, 'values' => false, 'x_name' => '', 'y_name' => '', 'trends' => []];
        $data = vm_chart_data($t, $c, $ctx);
        if ($data === []) {
            continue;
        }
        $html .= '<figure class="vm-chart"><figcaption>' . vm_h($c['caption']) . '</figcaption>'
            . vm_chart_svg($c, $data) . "</figure>\n";
    }
    return $html;
}
