<?php
declare(strict_types=1);

/**
 * The options of a lookup field as JSON: [{"value": "1", "label": "Beverages"}, ...].
 * ?q=text keeps the options whose label contains the text.
 */
function vm_page_lookup(array $t, string $col): void
{
    $f = $t['fields'][$col] ?? null;
    if ($f === null || $f['lookup'] === null || !($f['add'] || $f['edit'] || $f['search'] || $f['list'])) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $q = trim(vm_get('q'));
    $out = [];
    foreach (vm_lookup_options($f) as [$value, $label]) {
        if ($q === '' || stripos($label, $q) !== false) {
            $out[] = ['value' => $value, 'label' => $label];
        }
    }
    vm_stream_output();
    header('Content-Type: application/json; charset=utf-8');
    header('Cache-Control: no-store');
    echo json_encode($out, JSON_HEX_TAG | JSON_HEX_AMP | JSON_HEX_APOS | JSON_HEX_QUOT
        | JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE | JSON_THROW_ON_ERROR);
    throw new VmStop();
}
