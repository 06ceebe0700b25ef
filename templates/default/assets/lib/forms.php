<?php
declare(strict_types=1);

/**
 * What the project's form settings add to the add, edit, view and register forms: the fields'
 * own rules, duplicate checks, cascading and multiple lookups, values the server sets, rich
 * text, pages of fields, the confirm step and the page to return to.
 */

require_once __DIR__ . '/libraries.php';

/** True when the project asks for the browser's checks (attributes and js/form.js). */
function vm_client_validate(): bool
{
    return !empty(vm_config()['forms']['client_validate']);
}

/** A field's own rule broken by a (well-formed) value: minimum, maximum, pattern; null when kept. */
function vm_rule_error(array $f, string $v): ?string
{
    $form = $f['form'];
    $min = vm_str($form['min']);
    $max = vm_str($form['max']);
    if ($min !== '' || $max !== '') {
        $numeric = in_array($f['type'], ['int', 'float', 'decimal'], true) || $form['range']
            || in_array($f['validate'], ['integer', 'number'], true);
        $below = $min !== '' && ($numeric ? is_numeric($v) && is_numeric($min) && (float) $v < (float) $min
            : strcmp($v, $min) < 0);
        $above = $max !== '' && ($numeric ? is_numeric($v) && is_numeric($max) && (float) $v > (float) $max
            : strcmp($v, $max) > 0);
        if ($numeric && !is_numeric($v)) {
            return vm_phrase('InvalidNumber');
        }
        if ($below || $above) {
            return match (true) {
                $min !== '' && $max !== '' => vm_phrase_fill('ValueOutOfRange', ['min' => $min, 'max' => $max]),
                $below => vm_phrase_fill('ValueTooSmall', ['min' => $min]),
                default => vm_phrase_fill('ValueTooLarge', ['max' => $max]),
            };
        }
    }
    $pattern = (string) $form['pattern'];
    if ($pattern !== '') {
        // "/.../flags" is used as written; a bare pattern must match the whole value, as in a browser
        $re = preg_match('#^/.*/[imsxu]*$#sD', $pattern) ? $pattern : '/^(?:' . str_replace('/', '\/', $pattern) . ')$/uD';
        $hit = @preg_match($re, $v);
        if ($hit === false) {
            error_log('velmora notice: the pattern of ' . $f['name'] . ' is not a valid regular expression');
        }
        if ($hit !== 1) {
            return vm_phrase('PatternMismatch');
        }
    }
    return null;
}

/** The field's own error message in place of the runtime's, when the project gives one. */
function vm_field_message(array $f, string $message): string
{
    $own = trim((string) ($f['form']['message'] ?? ''));
    return $own !== '' ? $own : $message;
}

/** True when another record (not the one with $key) holds this value in the column. */
function vm_is_duplicate(array $t, string $col, string $v, ?array $key): bool
{
    $sql = 'SELECT 1 FROM ' . vm_qt($t['name']) . ' WHERE ' . vm_qi($col) . ' = ?';
    $params = [$v];
    if ($key !== null && $key !== []) {
        [$where, $kp] = vm_key_where($t, $key);
        $sql .= ' AND NOT (' . $where . ')';
        $params = array_merge($params, $kp);
    }
    return vm_query($sql . ' LIMIT 1', $params)->fetchColumn() !== false;
}

/**
 * The value the server gives a field on every save (FldAutoUpdateValue): the current date, time
 * or date and time, the user's name, id or address. Null for a setting it does not know.
 */
function vm_auto_value(string $setting): ?string
{
    return match (strtolower(preg_replace('/[^A-Za-z]/', '', $setting) ?? '')) {
        'currentdate', 'date', 'today' => date('Y-m-d'),
        'currentdatetime', 'datetime', 'now' => date('Y-m-d H:i:s'),
        'currenttime', 'time' => date('H:i:s'),
        'currentuser', 'currentusername', 'username' => vm_user(),
        'currentuserid', 'userid' => vm_user_id(),
        'currentuserip', 'clientip', 'userip' => (string) ($_SERVER['REMOTE_ADDR'] ?? ''),
        default => null,
    };
}

/** Puts the server's values (FldAutoUpdateValue) into the values to store. */
function vm_auto_values(array $t, array &$store): void
{
    foreach ($t['fields'] as $col => $f) {
        if ($f['form']['auto'] === '' || $f['autoinc'] || $f['expr'] !== '') {
            continue;
        }
        $v = vm_auto_value($f['form']['auto']);
        if ($v === null) {
            continue;
        }
        $store[$col] = $v === '' ? null : ($f['type'] === 'int' && !preg_match('/^-?\d+$/D', $v) ? null : $v);
    }
}

/**
 * The lookup columns a cascading list is filtered by, with the values its parent fields have in
 * $values (column => value); false when a parent is empty or has a value its column cannot hold,
 * so that the list offers nothing.
 */
function vm_cascade_filter(array $f, array $values): array|false
{
    $out = [];
    $lt = vm_table_ref((string) $f['lookup']['table']);
    foreach ($f['form']['parents'] as $p) {
        $v = $values[(string) ($p['field'] ?? '')] ?? '';
        $v = is_string($v) ? $v : '';
        $col = (string) ($p['filter'] ?? '');
        if ($v === '' || $col === '') {
            return false;
        }
        if ($lt !== null && isset($lt['fields'][$col]) && !vm_value_fits($lt['fields'][$col], $v)) {
            return false;
        }
        $out[$col] = $v;
    }
    return $out;
}

/** The options of a field on a form holding $values: a cascading list only its parents' share. */
function vm_form_options(array $f, array $values): array
{
    if ($f['lookup'] === null || $f['form']['parents'] === []) {
        return vm_field_options($f);
    }
    $filter = vm_cascade_filter($f, $values);
    try {
        return $filter === false ? [] : vm_lookup_options($f, $filter);
    } catch (PDOException $e) {
        if (vm_sql_state($e) !== '22') {
            throw $e;
        }
        return [];   // a parent value the lookup column cannot hold (a table outside the project)
    }
}

/** A field whose value is a comma-separated list of choices. */
function vm_is_multi_choice(array $f): bool
{
    return ($f['tag'] === 'CHECKBOX' && !vm_is_bool_field($f))
        || ($f['form']['multiple'] && ($f['lookup'] !== null || $f['values'] !== []));
}

/** The files of HTML Purifier before 4.12 that write string offsets in braces ($s{0}), by class. */
const VM_PURIFIER_BRACE_FILES = ['HTMLPurifier_Encoder' => 'Encoder.php',
    'HTMLPurifier_ChildDef_Custom' => 'ChildDef/Custom.php', 'HTMLPurifier_TagTransform_Font' => 'TagTransform/Font.php'];

/**
 * True when HTML Purifier can run. Before 4.12 (Debian 12 ships 4.11) three of its files do not
 * compile on PHP 8 for their string offsets in braces; those classes are then loaded from copies
 * in data/ whose only change is brackets for braces, made once from the installed files. Where
 * the copies cannot be written the library counts as missing.
 */
function vm_purifier_usable(): bool
{
    static $usable = null;
    if ($usable !== null) {
        return $usable;
    }
    if (!vm_library('htmlpurifier')) {
        return $usable = false;
    }
    if (version_compare(HTMLPurifier::VERSION, '4.12.0', '>=')) {
        return $usable = true;
    }
    $installed = dirname((string) (new ReflectionClass('HTMLPurifier'))->getFileName()) . '/HTMLPurifier/';
    $copies = [];
    foreach (VM_PURIFIER_BRACE_FILES as $class => $file) {
        $copy = VM_APP_DIR . '/data/htmlpurifier-' . HTMLPurifier::VERSION . '-' . str_replace('/', '-', $file);
        if (!is_file($copy)) {
            $code = @file_get_contents($installed . $file);
            $temp = $copy . '.' . bin2hex(random_bytes(4));
            $fixed = is_string($code) ? preg_replace('/(\$\w+|\[\'\w+\'\])\{(\$\w+|\d+)\}/', '$1[$2]', $code) : null;
            if (!is_string($fixed) || @file_put_contents($temp, $fixed) === false || !@rename($temp, $copy)) {
                error_log('velmora notice: HTML Purifier ' . HTMLPurifier::VERSION . ' needs a writable data/ folder');
                return $usable = false;
            }
        }
        $copies[$class] = $copy;
    }
    spl_autoload_register(static function (string $class) use ($copies): void {
        if (isset($copies[$class])) {
            require $copies[$class];
        }
    }, true, true);
    return $usable = true;
}

/** What to install for rich text fields, for the form that has one. */
function vm_purifier_missing_text(): string
{
    return vm_phrase_fill('LibraryMissing', ['library' => 'HTML Purifier',
        'debian' => 'php-htmlpurifier', 'composer' => 'ezyang/htmlpurifier']);
}

/** HTML cleaned by HTML Purifier; null when the library is missing. */
function vm_purify(string $html): ?string
{
    static $purifier = null;
    if (!vm_purifier_usable()) {
        return null;
    }
    if ($purifier === null) {
        $config = HTMLPurifier_Config::createDefault();
        $config->set('Cache.DefinitionImpl', null);   // the library's folder is not the application's to write
        $config->set('HTML.Nofollow', true);
        $config->set('URI.AllowedSchemes', ['http' => true, 'https' => true, 'mailto' => true]);
        $config->set('Core.Encoding', 'UTF-8');
        $purifier = new HTMLPurifier($config);
    }
    return $purifier->purify($html);
}

/** The stored HTML of a rich text field as shown: cleaned again (it may come from elsewhere). */
function vm_rich_html(string $html): string
{
    return vm_purify($html) ?? vm_h($html);
}

/**
 * The fields of a form in pages (page index => columns) when the table's form for this mode is
 * in several pages, else one page.
 */
function vm_form_pages(array $t, array $cols, string $mode): array
{
    if (empty($t['form']['multi_page'][$mode === 'view' ? 'view' : ($mode === 'edit' ? 'edit' : 'add')])) {
        return [1 => $cols];
    }
    $pages = [];
    foreach ($cols as $col) {
        $pages[max(1, (int) $t['fields'][$col]['form']['page'])][] = $col;
    }
    ksort($pages);
    return $pages === [] ? [1 => []] : $pages;
}

/**
 * Opens page $n of a form in pages: a <details> element for an accordion, else a fieldset that
 * js/form.js turns into tabs or pills (without script every page shows, one under another).
 */
function vm_form_page_open(array $t, int $n, bool $first): string
{
    $caption = vm_h(vm_phrase_fill('PageN', ['n' => $n]));
    if (in_array($t['form']['page_type'], ['accordion', 'collapse'], true)) {
        return '<details class="vm-page"' . ($first ? ' open' : '') . '><summary>' . $caption . "</summary>\n";
    }
    return '<fieldset class="vm-page" id="vm-page-' . $n . '" data-vm-caption="' . $caption . '"><legend>' . $caption
        . "</legend>\n";
}

function vm_form_page_close(array $t): string
{
    return in_array($t['form']['page_type'], ['accordion', 'collapse'], true) ? "</details>\n" : "</fieldset>\n";
}

/** The opening of the pages of a form; '' for a form of one page. */
function vm_form_pages_open(array $t, array $pages): string
{
    if (count($pages) < 2) {
        return '';
    }
    return '<div class="vm-pages vm-pages-' . vm_h($t['form']['page_type']) . '" data-vm-pages="'
        . vm_h($t['form']['page_type']) . "\">\n";
}

/**
 * Where a saved record sends the browser: the table's return page when it is a page of this
 * application (never another site), else $fallback.
 */
function vm_return_url(array $t, string $mode, string $fallback): string
{
    $page = trim((string) ($t['form']['return'][$mode === 'edit' ? 'edit' : 'add'] ?? ''));
    return $page !== '' && vm_is_local_url($page) ? $page : $fallback;
}

/** True when the table asks to confirm the values before saving them in this mode. */
function vm_form_confirms(array $t, array $cols, string $mode): bool
{
    if (empty($t['form']['confirm'][$mode === 'edit' ? 'edit' : 'add'])) {
        return false;
    }
    if (function_exists('vm_details_for') && vm_details_for($t, $mode) !== []) {
        return false;   // detail grids are saved with the form, not carried through a confirm page
    }
    foreach ($cols as $col) {
        if (vm_is_upload_field($t['fields'][$col]) || $t['fields'][$col]['tag'] === 'PASSWORD') {
            return false;   // neither a chosen file nor a password travels through the confirm page
        }
    }
    return true;
}

/** The script of the forms, from a file (the pages allow no inline script). */
function vm_form_script(): string
{
    return '<script src="js/form.js" defer></script>' . "\n";
}

/**
 * Attributes of a control from the field's form settings: its size, the browser's checks (when
 * the project asks for them) and its read-only state.
 */
function vm_control_attributes(array $f, string $kind): string
{
    $form = $f['form'];
    $a = '';
    if ($kind === 'text' && $form['input_size'] > 0) {
        $a .= ' size="' . (int) $form['input_size'] . '"';
    }
    if ($kind === 'textarea') {
        $a .= $form['cols'] > 0 ? ' cols="' . (int) $form['cols'] . '"' : '';
    }
    if ($kind === 'select' && $form['select_size'] > 0) {
        $a .= ' size="' . (int) $form['select_size'] . '"';
    }
    if ($form['readonly']) {
        $a .= $kind === 'select' || $kind === 'choice' ? ' disabled' : ' readonly';
    }
    if (vm_client_validate() && ($kind === 'text' || $kind === 'textarea')) {
        if ($form['min'] !== '') {
            $a .= ' data-vm-min="' . vm_h($form['min']) . '"';
        }
        if ($form['max'] !== '') {
            $a .= ' data-vm-max="' . vm_h($form['max']) . '"';
        }
        if ($form['pattern'] !== '' && !preg_match('#^/.*/[imsxu]*$#sD', (string) $form['pattern'])) {
            $a .= ' pattern="' . vm_h($form['pattern']) . '"';
        }
        $kindCheck = match ($f['validate']) {
            'integer' => '[+\-]?[0-9]+',
            'number' => '[+\-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+\-]?[0-9]+)?',
            default => '',
        };
        if ($kindCheck !== '' && $form['pattern'] === '' && $kind === 'text') {
            $a .= ' pattern="' . vm_h($kindCheck) . '"';
        }
        if (trim((string) $form['message']) !== '') {
            $a .= ' data-vm-message="' . vm_h($form['message']) . '"';
        }
    }
    return $a;
}

/** The value of a date or date-time column as a calendar input takes it (YYYY-MM-DDTHH:MM:SS). */
function vm_calendar_value(array $f, string $v): string
{
    if ($f['type'] === 'datetime' && preg_match('/^(\d{4}-\d{2}-\d{2})[ T](\d{2}:\d{2}(:\d{2})?)/', $v, $m)) {
        return $m[1] . 'T' . $m[2];
    }
    if ($f['type'] === 'date' && preg_match('/^\d{4}-\d{2}-\d{2}/', $v, $m)) {
        return $m[0];
    }
    return $v;
}

/** The options a cascading child is filtered by, for js/form.js: data attributes. */
function vm_lookup_attributes(array $t, array $f, string $col): string
{
    $lk = $f['lookup'];
    if ($lk === null) {
        return '';
    }
    $a = '';
    $url = $t['var'] . '_' . $col . 'lookup.php';
    if (!is_file(VM_APP_DIR . '/' . $url)) {
        return '';   // the field's lookup page is generated when the field is (FldGenerate)
    }
    if ($f['form']['parents'] !== [] || $f['form']['fill'] !== null) {
        $a .= ' data-vm-lookup="' . vm_h($url) . '"';
    }
    if ($f['form']['parents'] !== []) {
        $a .= ' data-vm-parents="' . vm_h(implode(',', array_map(static fn($p) => (string) $p['field'],
            $f['form']['parents']))) . '"';
    }
    if ($f['form']['fill'] !== null) {
        $a .= ' data-vm-fill="1"';
    }
    return $a;
}

/** The "add an option" button of a lookup whose table the user may add to. */
function vm_lookup_add_button(array $t, array $f, string $col, string $id): string
{
    if (!$f['form']['allow_add'] || $f['lookup'] === null || $f['form']['readonly']) {
        return '';
    }
    $lt = vm_table_ref((string) $f['lookup']['table']);
    if ($lt === null || !vm_has_page($lt, 'add') || !is_file(VM_APP_DIR . '/' . $t['var'] . '_' . $col . 'lookup.php')) {
        return '';
    }
    return ' <button type="button" class="vm-add-option" hidden data-vm-add="' . vm_h($t['var'] . '_' . $col . 'lookup.php')
        . '" data-vm-for="' . vm_h($id) . '" data-vm-prompt="' . vm_h(vm_phrase_fill('AddOptionPrompt',
        ['field' => $f['caption']])) . '" data-vm-failed="' . vm_ph('AddOptionFailed') . '">' . vm_ph('AddOption') . '</button>';
}

/** The uploads sent for a column of several files: [[tmp, ext], ...], [] for none, or a phrase id. */
function vm_upload_received_many(string $col, int $max): array|string
{
    $files = $_FILES['vmfile'] ?? null;
    if (!is_array($files) || !isset($files['error'][$col]) || !is_array($files['error'][$col])) {
        return vm_upload_received($col) ?? [];   // one file sent by a form of one file input
    }
    $out = [];
    foreach (array_keys($files['error'][$col]) as $i) {
        $one = [];
        foreach (['error', 'tmp_name', 'name', 'size'] as $k) {
            $one[$k] = [$col => $files[$k][$col][$i] ?? null];
        }
        $got = vm_upload_received($col, $one);
        if (is_string($got)) {
            return $got;
        }
        if ($got !== null) {
            $out[] = $got;
        }
    }
    if ($max > 0 && count($out) > $max) {
        return 'UploadTooMany';
    }
    return $out;
}

/**
 * Scales an uploaded image down in place to fit [width, height] (0: any) with GD; other files,
 * and images already small enough, are left as they are. False when GD is missing.
 */
function vm_image_resize(string $path, array $box): bool
{
    [$width, $height, $quality] = array_map('intval', array_pad(array_values($box), 3, 85));
    $type = vm_image_type((string) file_get_contents($path, false, null, 0, 16));
    if ($type === '') {
        return true;
    }
    if (!vm_library('gd')) {
        return false;
    }
    $size = @getimagesize($path);
    if ($size === false || $size[0] * $size[1] > 40_000_000) {
        return true;   // not decoded: a small file may unpack into gigabytes of pixels
    }
    $image = @imagecreatefromstring((string) file_get_contents($path));
    if ($image === false) {
        return true;
    }
    $w = imagesx($image);
    $h = imagesy($image);
    $scale = min($width > 0 ? $width / $w : 1, $height > 0 ? $height / $h : 1, 1);
    if ($scale >= 1) {
        return true;
    }
    $small = imagescale($image, max(1, (int) round($w * $scale)), max(1, (int) round($h * $scale)));
    if ($small === false) {
        return true;
    }
    if ($type === 'png' || $type === 'webp' || $type === 'gif') {
        imagesavealpha($small, true);
    }
    match ($type) {
        'png' => imagepng($small, $path),
        'gif' => imagegif($small, $path),
        'webp' => imagewebp($small, $path, max(1, min(100, $quality))),
        default => imagejpeg($small, $path, max(1, min(100, $quality))),
    };
    return true;
}

/**
 * Fields the user does not type on this save: one the server fills (FldAutoUpdateValue, set by
 * vm_auto_values) and a read-only one, which keeps what is stored, or on add takes its default.
 * True when the field is one of them (its values are then set here).
 */
function vm_form_fixed(array $f, string $col, string $mode, ?array $old, array &$values, array &$store): bool
{
    if ($f['form']['auto'] !== '' && vm_auto_value($f['form']['auto']) !== null) {
        $values[$col] = vm_str($old[$col] ?? null);
        return true;
    }
    if (!$f['form']['readonly']) {
        return false;
    }
    if ($mode === 'edit') {
        $values[$col] = vm_str($old[$col] ?? null);
    } else {
        $values[$col] = vm_str($f['default']);
        if ($f['default'] !== null && !vm_is_upload_field($f)) {
            $store[$col] = $f['type'] === 'bool' ? vm_is_true($f['default']) : vm_str($f['default']);
        }
    }
    return true;
}

/** The upload of a field: null for none, [tmp, ext], a list of them (several files) or a phrase id. */
function vm_form_upload(array $f, string $col): array|string|null
{
    if (!$f['form']['multi_upload'] || vm_is_blob_field($f)) {
        return vm_upload_received($col);
    }
    $got = vm_upload_received_many($col, (int) $f['form']['max_files']);
    return $got === [] ? null : $got;
}

/**
 * What the database must say about a valid value: a cascading choice belongs to its parents'
 * values, a value marked unique is not another record's. Null when it is fine.
 */
function vm_form_value_error(array $t, array $f, string $col, string $v, array $in, string $mode, ?array $old): ?string
{
    if ($f['lookup'] !== null && $f['form']['parents'] !== [] && !vm_is_multi_choice($f)
        && !in_array($v, array_column(vm_form_options($f, $in), 0), true)) {
        return vm_phrase('InvalidValue');
    }
    if ($f['form']['unique'] && vm_value_fits($f, $v)
        && vm_is_duplicate($t, $col, $v, $mode === 'edit' && $old !== null ? vm_row_key($t, $old) : null)) {
        return vm_phrase_fill('DuplicateValue', ['field' => $f['caption']]);
    }
    return null;
}

/**
 * The step a valid posted form takes: 'save', 'confirm' (show the values to confirm first) or
 * 'back' (the confirm page's Back button: the form again, to change the values).
 */
function vm_form_step(array $t, array $cols, string $mode): string
{
    if (!vm_form_confirms($t, $cols, $mode)) {
        return 'save';
    }
    if (vm_post('_back') !== '') {
        return 'back';
    }
    return vm_post('_confirm') === '1' ? 'save' : 'confirm';
}

/** A field on the confirm page: its value as it will be saved, and the value posted again. */
function vm_confirm_field_html(array $f, string $col, string $value, array $values): string
{
    $hidden = '';
    if (vm_is_multi_choice($f)) {
        foreach (array_filter(explode(',', $value), static fn($v) => $v !== '') as $one) {
            $hidden .= '<input type="hidden" name="f[' . vm_h($col) . '][]" value="' . vm_h($one) . '">';
        }
        $labels = array_column(vm_form_options($f, $values), 1, 0);
        $shown = vm_h(implode(', ', array_map(static fn($v) => $labels[$v] ?? $v,
            array_filter(explode(',', $value), static fn($v) => $v !== ''))));
    } else {
        $hidden = '<input type="hidden" name="f[' . vm_h($col) . ']" value="' . vm_h($value) . '">';
        $labels = $f['lookup'] !== null ? array_column(vm_form_options($f, $values), 1, 0) : [];
        $shown = $f['form']['html'] ? vm_rich_html($value) : vm_display_html($f, $value === '' ? null : $value, $labels);
    }
    return '<div class="vm-field"><span class="vm-label">' . vm_h($f['caption']) . '</span><div class="vm-control vm-confirm-value">'
        . $shown . $hidden . "</div></div>\n";
}

/** The buttons of the confirm page. */
function vm_confirm_buttons(string $cancelUrl): string
{
    return '<div class="vm-buttons"><button type="submit" name="_confirm" value="1">' . vm_ph('ConfirmSave')
        . '</button> <button type="submit" name="_back" value="1" class="vm-button" formnovalidate>' . vm_ph('Back')
        . '</button> ' . vm_link($cancelUrl, vm_phrase('Cancel')) . "</div>\n";
}

/** Notes at the top of a form: the confirm step, or a rich text field whose cleaning library is missing. */
function vm_form_notes(array $t, array $cols, bool $confirm = false): string
{
    $html = $confirm ? '<p class="vm-message">' . vm_ph('ConfirmValues') . "</p>\n" : '';
    foreach ($cols as $col) {
        if ($t['fields'][$col]['form']['html'] && !vm_purifier_usable()) {
            return $html . '<p class="vm-message vm-error" role="alert">' . vm_h(vm_purifier_missing_text()) . "</p>\n";
        }
    }
    return $html;
}

/** The column => page index of fields laid out by vm_form_pages. */
function vm_field_page_numbers(array $pages): array
{
    $of = [];
    foreach ($pages as $n => $cols) {
        $of += array_fill_keys($cols, $n);
    }
    return $of;
}

/**
 * What comes before field $col of a layout in pages: the end of the page before and the start of
 * the field's own page (each page wrapping $open ... $close), or nothing inside a page.
 */
function vm_page_switch(array $t, array $pages, string $col, int &$page, string $open = '', string $close = ''): string
{
    $n = vm_field_page_numbers($pages)[$col] ?? $page;
    if (count($pages) < 2 || $n === $page) {
        return '';
    }
    $html = $page > 0 ? $close . vm_form_page_close($t) : '';
    $first = $page === 0;
    $page = $n;
    return $html . vm_form_page_open($t, $n, $first) . $open;
}

/** The end of the last page and of the pages of a layout; nothing for one page. */
function vm_pages_end(array $t, array $pages, int $page, string $close = ''): string
{
    return count($pages) > 1 && $page > 0 ? $close . vm_form_page_close($t) . "</div>\n" : '';
}

/** The stored name of the $n-th file of a field of several files. */
function vm_upload_nth(string $stored, int $n): string
{
    return explode(',', $stored)[$n] ?? '';
}
