<?php
declare(strict_types=1);

/**
 * Searching a list: the quick search (all words, any word or the exact phrase) and the advanced
 * search by each field's operators. Operators come from a fixed list and values are always bound;
 * a search is kept in the session per table until the user clears it.
 */

const VM_SEARCH_OPERATORS = ['=', '<>', '<', '<=', '>', '>=', 'LIKE', 'NOT LIKE', 'STARTS WITH', 'ENDS WITH',
    'BETWEEN', 'IS NULL', 'IS NOT NULL'];

/** Request parameters of a search: quick text and type, then per column value, operator, second value and operator, and how the two join. */
const VM_SEARCH_PARAMS = ['q', 'qt', 'x', 'z', 'y', 'w', 'c'];

/** The table's search settings, every key present. */
function vm_search_settings(array $t): array
{
    return array_replace(['basic' => true, 'advanced' => false, 'default' => '', 'type' => '', 'modal' => false,
        'per_row' => 0, 'highlight' => false, 'color' => ''], (array) ($t['find'] ?? []));
}

/** A field's advanced-search settings, every key present. */
function vm_search_field(array $f): array
{
    return array_replace(['on' => false, 'opr' => '', 'opr2' => '', 'default' => '', 'default2' => ''],
        (array) ($f['find'] ?? []));
}

/** The columns of the advanced search form. */
function vm_search_columns(array $t): array
{
    if (!vm_search_settings($t)['advanced']) {
        return [];
    }
    $out = [];
    foreach ($t['fields'] as $col => $f) {
        if (vm_search_field($f)['on'] && !vm_is_blob_field($f) && !$f['upload'] && $f['tag'] !== 'PASSWORD') {
            $out[] = (string) $col;
        }
    }
    return $out;
}

/** What kind of comparison a field needs: text, number, date, datetime, time or choice (lookups, fixed values, yes/no). */
function vm_search_kind(array $f): string
{
    if ($f['lookup'] !== null || $f['values'] !== [] || vm_is_bool_field($f)) {
        return 'choice';
    }
    return match ($f['type']) {
        'int', 'float', 'decimal' => 'number',
        'date', 'datetime', 'time' => $f['type'],
        default => 'text',
    };
}

/** The operators a user may pick for a field. */
function vm_search_operators(array $f): array
{
    return match (vm_search_kind($f)) {
        'text' => VM_SEARCH_OPERATORS,
        'choice' => ['=', '<>', 'IS NULL', 'IS NOT NULL'],
        default => ['=', '<>', '<', '<=', '>', '>=', 'BETWEEN', 'IS NULL', 'IS NOT NULL'],
    };
}

/**
 * The operator in effect: the field's own, or with "USER SELECT" (or none) the one the user picked
 * among the field's operators, else the field's natural one. Anything else is ignored.
 */
function vm_search_operator(array $f, string $configured, string $picked, bool $first): string
{
    $configured = strtoupper(trim($configured));
    if (in_array($configured, VM_SEARCH_OPERATORS, true)) {
        return $configured;
    }
    if ($configured === '' && !$first) {
        return '';   // no second condition
    }
    $picked = strtoupper(trim(preg_replace('/\s+/', ' ', $picked) ?? ''));
    if (in_array($picked, vm_search_operators($f), true)) {
        return $picked;
    }
    return vm_search_kind($f) === 'text' ? 'LIKE' : '=';
}

/** A GET parameter as text, or '' when absent or not text. */
function vm_search_param(string $name, string $col = ''): string
{
    $v = $_GET[$name] ?? null;
    if ($col !== '') {
        $v = is_array($v) ? ($v[$col] ?? null) : null;
    }
    return is_string($v) ? $v : '';
}

/**
 * The search of this request: cleared by cmd=reset, taken from the request when it carries one
 * (and kept in the session), else the one kept, else the table's and fields' defaults.
 * ['q' => text, 'qt' => '', 'AND' or 'OR', 'adv' => col => [x, z, y, w, c]]
 */
function vm_search_state(array $t): array
{
    $var = $t['var'];
    $cols = vm_search_columns($t);
    $empty = ['q' => '', 'qt' => '', 'adv' => []];
    if (vm_get('cmd') === 'reset') {
        $_SESSION['vm_search'][$var] = $empty;
        return $empty;
    }
    $asked = false;
    foreach (VM_SEARCH_PARAMS as $p) {
        $asked = $asked || isset($_GET[$p]);
    }
    if ($asked) {
        $state = ['q' => trim(vm_search_param('q')), 'qt' => vm_search_type(vm_search_param('qt')), 'adv' => []];
        foreach ($cols as $col) {
            $one = [];
            foreach (['x', 'z', 'y', 'w', 'c'] as $p) {
                $one[$p] = trim(vm_search_param($p, $col));
            }
            if (array_filter($one, static fn($v) => $v !== '') !== []) {
                $state['adv'][$col] = $one;
            }
        }
        $_SESSION['vm_search'][$var] = $state;
        return $state;
    }
    $kept = $_SESSION['vm_search'][$var] ?? null;
    if (is_array($kept)) {
        return array_replace($empty, $kept);
    }
    $s = vm_search_settings($t);
    $state = ['q' => $s['default'], 'qt' => vm_search_type($s['type']), 'adv' => []];
    foreach ($cols as $col) {
        $sf = vm_search_field($t['fields'][$col]);
        if ($sf['default'] !== '' || $sf['default2'] !== '') {
            $state['adv'][$col] = ['x' => $sf['default'], 'z' => '', 'y' => $sf['default2'], 'w' => '', 'c' => ''];
        }
    }
    return $state;
}

/** The quick search type: 'AND' all words, 'OR' any word, '' the exact phrase. */
function vm_search_type(string $type): string
{
    $type = strtoupper(trim($type));
    return in_array($type, ['AND', 'OR'], true) ? $type : '';
}

/** True when the state searches for anything. */
function vm_search_active(array $state): bool
{
    return $state['q'] !== '' || $state['adv'] !== [];
}

/** The search as URL parameters, for links that keep it (sorting, paging, exports). */
function vm_search_url_params(array $state): array
{
    $out = [];
    if ($state['q'] !== '') {
        $out['q'] = $state['q'];
        if ($state['qt'] !== '') {
            $out['qt'] = $state['qt'];
        }
    }
    foreach ($state['adv'] as $col => $one) {
        foreach ($one as $p => $v) {
            if ($v !== '') {
                $out[$p][$col] = $v;
            }
        }
    }
    return $out;
}

/** The words of a quick search: words, or "quoted phrases" as one. */
function vm_search_words(string $q): array
{
    preg_match_all('/"([^"]+)"|(\S+)/u', $q, $m, PREG_SET_ORDER);
    $words = [];
    foreach ($m as $one) {
        $w = trim($one[1] !== '' ? $one[1] : ($one[2] ?? ''));
        if ($w !== '') {
            $words[] = $w;
        }
    }
    return array_values(array_unique($words));
}

/**
 * The conditions of the search (joined with AND by the caller), their values added to $params;
 * $errors gets a message per column whose value does not fit its type.
 */
function vm_search_where(array $t, array $state, array &$params, array &$errors): array
{
    $where = [];
    if ($state['q'] !== '' && vm_search_settings($t)['basic']) {
        $words = $state['qt'] === '' ? [$state['q']] : vm_search_words($state['q']);
        $parts = [];
        foreach ($words as $word) {
            $any = vm_quick_search_any($t, $word, $params);
            $parts[] = $any === [] ? '1 = 0' : '(' . implode(' OR ', $any) . ')';
        }
        if ($parts !== []) {
            $where[] = '(' . implode($state['qt'] === 'OR' ? ' OR ' : ' AND ', $parts) . ')';
        }
    }
    $cols = vm_search_columns($t);
    foreach ($state['adv'] as $col => $one) {
        if (!in_array($col, $cols, true)) {
            continue;
        }
        $f = $t['fields'][$col];
        $sf = vm_search_field($f);
        $op = vm_search_operator($f, $sf['opr'], $one['z'] ?? '', true);
        $op2 = $op === 'BETWEEN' ? '' : vm_search_operator($f, $sf['opr2'], $one['w'] ?? '', false);
        $first = vm_search_condition($f, (string) $col, $op, $one['x'] ?? '', $one['y'] ?? '', $params, $errors);
        $second = $op2 === '' ? null
            : vm_search_condition($f, (string) $col, $op2, $one['y'] ?? '', '', $params, $errors);
        if ($first !== null && $second !== null) {
            $join = strtoupper($one['c'] ?? '') === 'OR' ? ' OR ' : ' AND ';
            $where[] = '(' . $first . $join . $second . ')';
        } elseif ($first !== null || $second !== null) {
            $where[] = $first ?? $second;
        }
    }
    return $where;
}

/** The quick search's conditions for one word, any of which matches. */
function vm_quick_search_any(array $t, string $q, array &$params): array
{
    $pattern = vm_like_pattern($q);
    $number = (bool) preg_match('/^[+-]?(\d{1,30}(\.\d{0,30})?|\.\d{1,30})$/D', $q);
    $any = [];
    foreach (vm_columns_with($t, 'search') as $col) {
        $f = $t['fields'][$col];
        if ($f['lookup'] !== null) {
            // a lookup column matches through its displayed text
            $lk = $f['lookup'];
            $inner = [];
            foreach ($lk['display'] as $d) {
                $inner[] = vm_sql_like(vm_sql_text(vm_qi($d)), $pattern);
                $params[] = $pattern;
            }
            $any[] = vm_qi($col) . ' IN (SELECT ' . vm_qi($lk['key']) . ' FROM ' . vm_qt($lk['table'])
                . ' WHERE ' . implode(' OR ', $inner) . ')';
        } elseif (in_array($f['type'], ['int', 'float', 'decimal'], true)) {
            if ($number) {   // a number column matches a number typed in full, as a number
                $any[] = vm_sql_number_equals(vm_qi($col));
                $params[] = $q;
            }
        } elseif ($f['type'] !== 'binary' && !$f['upload']) {
            // a text column is compared as it is (a cast on every row costs SQLite and MySQL a
            // copy); PostgreSQL keeps the cast, which lets lower() read an enum too
            $any[] = vm_sql_like(vm_driver() !== 'pgsql' && in_array($f['type'], ['string', 'text'], true)
                ? vm_qi($col) : vm_sql_text(vm_qi($col)), $pattern);
            $params[] = $pattern;
        }
    }
    return $any;
}

/** True when the value can be compared with the field's column without the database refusing it. */
function vm_search_value_ok(array $f, string $v): bool
{
    if (!preg_match('//u', $v) || str_contains($v, "\0") || strlen($v) > 1000) {
        return false;
    }
    $date = '(\d{4})-(\d{2})-(\d{2})';
    $time = '([01]\d|2[0-3]):[0-5]\d(:[0-5]\d(\.\d{1,6})?)?';
    $ok = match (vm_search_kind($f)) {
        'number' => $f['type'] === 'int' ? preg_match('/^[+-]?\d{1,18}$/D', $v)
            : preg_match('/^[+-]?(\d{1,30}(\.\d{0,30})?|\.\d{1,30})$/D', $v),
        'date' => preg_match('/^' . $date . '$/D', $v, $m) && checkdate((int) $m[2], (int) $m[3], (int) $m[1]),
        'datetime' => preg_match('/^' . $date . '([ T]' . $time . ')?$/D', $v, $m)
            && checkdate((int) $m[2], (int) $m[3], (int) $m[1]),
        'time' => preg_match('/^' . $time . '$/D', $v),
        default => true,
    };
    return (bool) $ok;
}

/** One comparison of a column, its values bound; null when there is nothing to compare. */
function vm_search_condition(array $f, string $col, string $op, string $v, string $v2, array &$params,
    array &$errors): ?string
{
    $c = vm_qi($col);
    if ($op === 'IS NULL' || $op === 'IS NOT NULL') {
        return $c . ' ' . $op;
    }
    if ($v === '' || ($op === 'BETWEEN' && $v2 === '')) {
        return null;
    }
    $kind = vm_search_kind($f);
    $like = in_array($op, ['LIKE', 'NOT LIKE', 'STARTS WITH', 'ENDS WITH'], true);
    foreach ($op === 'BETWEEN' ? [$v, $v2] : [$v] as $one) {
        if (!$like && !vm_search_value_ok($f, $one)) {
            $errors[$col] = vm_phrase_fill('SearchValueInvalid', ['field' => $f['caption']]);
            return null;
        }
    }
    if ($like) {
        $text = addcslashes($v, '\\%_');
        $pattern = match ($op) {
            'STARTS WITH' => $text . '%',
            'ENDS WITH' => '%' . $text,
            default => '%' . $text . '%',
        };
        $params[] = $pattern;
        $expr = vm_sql_like($kind === 'text' ? $c : vm_sql_text($c), $pattern);
        return $op === 'NOT LIKE' ? '(' . $c . ' IS NULL OR NOT (' . $expr . '))' : $expr;
    }
    // numbers compare as numbers whatever the column's exact type (see vm_sql_number_equals)
    $bound = $kind === 'number' ? (vm_driver() === 'mysql' ? 'CAST(? AS DECIMAL(65,30))' : 'CAST(? AS NUMERIC)') : '?';
    if ($kind === 'choice' && vm_is_bool_field($f) && $f['values'] === [] && $f['lookup'] === null) {
        $v = vm_is_true($v) ? '1' : '0';
        if (vm_driver() === 'pgsql' && $f['type'] === 'bool') {
            $v = $v === '1' ? 'true' : 'false';
        }
    }
    $params[] = $v;
    if ($op === 'BETWEEN') {
        $params[] = $v2;
        return $c . ' BETWEEN ' . $bound . ' AND ' . $bound;
    }
    return $c . ' ' . $op . ' ' . $bound;
}

/** The quick search box with its type and the advanced search panel, for the list's toolbar. */
function vm_search_form_html(array $t, array $state, string $self, array $keep, array $errors): string
{
    $s = vm_search_settings($t);
    $hidden = '';
    foreach ($keep as $name => $v) {
        if ($v !== '') {
            $hidden .= '<input type="hidden" name="' . vm_h($name) . '" value="' . vm_h($v) . '">';
        }
    }
    $html = '<form method="get" action="' . vm_h($self) . '" class="vm-search" role="search">' . $hidden
        . '<input type="search" name="q" value="' . vm_h($state['q']) . '" aria-label="' . vm_ph('Search') . '">'
        . '<select name="qt" aria-label="' . vm_ph('SearchType') . '">';
    foreach (['' => 'ExactPhrase', 'AND' => 'AllWords', 'OR' => 'AnyWord'] as $v => $phrase) {
        $html .= '<option value="' . $v . '"' . ($state['qt'] === $v ? ' selected' : '') . '>' . vm_ph($phrase) . '</option>';
    }
    $html .= '</select><button type="submit">' . vm_ph('Search') . '</button>';
    if (vm_search_active($state)) {
        $html .= ' <a class="vm-button vm-reset" href="' . vm_h(vm_url($self, ['cmd' => 'reset'] + $keep)) . '">'
            . vm_ph('ShowAll') . '</a>';
    }
    $html .= '</form>';
    $cols = vm_search_columns($t);
    if ($cols === []) {
        return $html;
    }
    $open = $state['adv'] !== [] || $errors !== [] ? ' open' : '';
    $perRow = $s['per_row'] > 0 ? min(6, $s['per_row']) : 0;
    $html .= '<details class="vm-advsearch' . ($s['modal'] ? ' vm-modal' : '') . '"' . $open . '><summary>'
        . vm_ph('AdvancedSearch') . '</summary><form method="get" action="' . vm_h($self) . '" class="vm-advsearch-form'
        . ($perRow > 0 ? ' vm-per-row-' . $perRow : '') . '">' . $hidden;
    foreach ($cols as $col) {
        $html .= vm_search_field_html($t['fields'][$col], $col, $state['adv'][$col] ?? [], $errors[$col] ?? '');
    }
    $html .= '<p class="vm-buttons"><button type="submit">' . vm_ph('Search') . '</button> <a class="vm-button" href="'
        . vm_h(vm_url($self, ['cmd' => 'reset'] + $keep)) . '">' . vm_ph('ResetSearch') . '</a></p></form></details>';
    return $html;
}

/** One field of the advanced search form: its operator, value and, where set, the second operator and value. */
function vm_search_field_html(array $f, string $col, array $one, string $error): string
{
    $sf = vm_search_field($f);
    $id = 'vm-s-' . substr(md5($col), 0, 10);
    $html = '<div class="vm-search-field' . ($error !== '' ? ' vm-invalid' : '') . '"><label for="' . $id . '">'
        . vm_h($f['caption']) . '</label> ';
    $op = vm_search_operator($f, $sf['opr'], $one['z'] ?? '', true);
    $html .= vm_search_operator_html($f, $sf['opr'], 'z', $col, $op);
    $html .= vm_search_input_html($f, 'x[' . $col . ']', $id, $one['x'] ?? '');
    $second = vm_search_operator($f, $sf['opr2'], $one['w'] ?? '', false);
    if ($op === 'BETWEEN' || strtoupper($sf['opr']) === 'USER SELECT') {
        // the second value is BETWEEN's upper bound
        $html .= ' <span class="vm-and">' . vm_ph('And') . '</span> '
            . vm_search_input_html($f, 'y[' . $col . ']', $id . '-2', $one['y'] ?? '', vm_phrase('SearchValue2'));
    } elseif ($second !== '') {
        $html .= ' <select name="c[' . vm_h($col) . ']" aria-label="' . vm_ph('SearchCondition') . '">';
        foreach (['AND' => 'And', 'OR' => 'Or'] as $v => $phrase) {
            $html .= '<option value="' . $v . '"' . (strtoupper($one['c'] ?? '') === $v ? ' selected' : '') . '>'
                . vm_ph($phrase) . '</option>';
        }
        $html .= '</select> ' . vm_search_operator_html($f, $sf['opr2'], 'w', $col, $second)
            . vm_search_input_html($f, 'y[' . $col . ']', $id . '-2', $one['y'] ?? '', vm_phrase('SearchValue2'));
    }
    if ($error !== '') {
        $html .= ' <span class="vm-error" role="alert">' . vm_h($error) . '</span>';
    }
    return $html . '</div>';
}

/** The operator: fixed text, or a choice when the field lets the user pick. */
function vm_search_operator_html(array $f, string $configured, string $param, string $col, string $current): string
{
    if (in_array(strtoupper($configured), VM_SEARCH_OPERATORS, true)) {
        return '<span class="vm-operator">' . vm_h(vm_search_operator_label($current)) . '</span> ';
    }
    $html = '<select name="' . $param . '[' . vm_h($col) . ']" aria-label="' . vm_ph('SearchOperator') . '">';
    foreach (vm_search_operators($f) as $op) {
        $html .= '<option value="' . vm_h($op) . '"' . ($op === $current ? ' selected' : '') . '>'
            . vm_h(vm_search_operator_label($op)) . '</option>';
    }
    return $html . '</select> ';
}

function vm_search_operator_label(string $op): string
{
    $phrase = 'Op' . str_replace(['<>', '<=', '>=', '<', '>', '=', ' '], ['Ne', 'Le', 'Ge', 'Lt', 'Gt', 'Eq', ''], ucwords(strtolower($op)));
    $text = vm_phrase($phrase);
    return $text === '' || $text === $phrase ? $op : $text;
}

/** The value control: the field's choices for lookups, fixed values and yes/no, else a text box of the value's kind. */
function vm_search_input_html(array $f, string $name, string $id, string $value, string $label = ''): string
{
    $aria = $label !== '' ? ' aria-label="' . vm_h($label) . '"' : '';
    if (vm_search_kind($f) === 'choice') {
        $options = vm_is_bool_field($f) && $f['values'] === [] && $f['lookup'] === null
            ? [['1', vm_phrase('Yes')], ['0', vm_phrase('No')]]
            : ($f['lookup'] !== null ? vm_lookup_options($f) : array_map('array_values', $f['values']));
        $html = '<select name="' . vm_h($name) . '" id="' . $id . '"' . $aria . '><option value=""></option>';
        foreach ($options as $o) {
            $v = vm_str($o[0] ?? '');
            $html .= '<option value="' . vm_h($v) . '"' . ($v === $value ? ' selected' : '') . '>'
                . vm_h(vm_str($o[1] ?? $v)) . '</option>';
        }
        return $html . '</select>';
    }
    $type = match (vm_search_kind($f)) {
        'date' => 'date', 'time' => 'time', default => 'text',
    };
    $mode = vm_search_kind($f) === 'number' ? ' inputmode="decimal"' : '';
    return '<input type="' . $type . '" name="' . vm_h($name) . '" id="' . $id . '" value="' . vm_h($value) . '"'
        . $mode . $aria . '>';
}

/** The words the list marks in its cells: the quick search's and the text values of the advanced search. */
function vm_search_marks(array $t, array $state): array
{
    if (!vm_search_settings($t)['highlight']) {
        return [];
    }
    $words = $state['q'] === '' ? [] : ($state['qt'] === '' ? [$state['q']] : vm_search_words($state['q']));
    foreach ($state['adv'] as $col => $one) {
        $f = $t['fields'][$col] ?? null;
        if ($f !== null && vm_search_kind($f) === 'text' && ($one['x'] ?? '') !== '') {
            $words[] = $one['x'];
        }
    }
    return array_values(array_filter($words, static fn($w) => mb_strlen($w) >= 1));
}

/** The cells' HTML with the words marked, in the text between tags only. */
function vm_search_highlight(string $html, array $words): string
{
    if ($words === []) {
        return $html;
    }
    $alts = array_map(static fn($w) => preg_quote(vm_h($w), '/'), $words);
    usort($alts, static fn($a, $b) => strlen($b) <=> strlen($a));
    $re = '/(' . implode('|', $alts) . ')/iu';
    return preg_replace_callback('/>([^<]+)</u', static fn($m) => '>'
        . (preg_replace($re, '<mark class="vm-highlight">$1</mark>', $m[1]) ?? $m[1]) . '<', $html) ?? $html;
}
