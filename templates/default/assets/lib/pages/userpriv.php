<?php
declare(strict_types=1);

/** The administrator's page of dynamic user levels: which tables a level may use, and how. */

/** The levels an administrator gives permissions to: id => name, the default level 0 first. */
function vm_userpriv_levels(array $d): array
{
    $levels = [0 => vm_phrase('DefaultLevel')];
    if ($d['level_table'] !== '' && $d['level_id'] !== '') {
        $name = $d['level_name'] !== '' ? $d['level_name'] : $d['level_id'];
        $rows = vm_query_main('SELECT ' . vm_qi_main($d['level_id']) . ' AS id, ' . vm_qi_main($name) . ' AS name FROM '
            . vm_qt_main($d['level_table']) . ' ORDER BY ' . vm_qi_main($d['level_id']))->fetchAll();
    } else {
        $rows = vm_query_main('SELECT DISTINCT ' . vm_qi_main($d['priv_level']) . ' AS id FROM '
            . vm_qt_main($d['priv_table']))->fetchAll();
    }
    foreach ($rows as $row) {
        $id = (int) vm_str($row['id']);
        if ($id >= 0) {
            $levels[$id] = vm_str($row['name'] ?? '') !== '' ? vm_str($row['name']) : (string) $id;
        }
    }
    ksort($levels);
    return $levels;
}

/** The tables user levels govern, by var, in caption order. */
function vm_userpriv_tables(): array
{
    $out = [];
    foreach (glob(VM_APP_DIR . '/tables/*.php') ?: [] as $file) {
        $var = basename($file, '.php');
        if (!preg_match('/^[A-Za-z0-9_]+$/D', $var)) {
            continue;
        }
        $t = vm_table($var);
        if ($t['permissions']['levels'] && !vm_admin_table($t)) {
            $out[$var] = $t;
        }
    }
    uasort($out, static fn($a, $b) => strcasecmp($a['caption'], $b['caption']));
    return $out;
}

function vm_page_userpriv(): void
{
    $d = vm_dynamic_levels();
    if ($d === null) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    if (!vm_is_admin()) {
        vm_refuse_page();
    }
    $levels = vm_userpriv_levels($d);
    $asked = vm_method() === 'POST' ? vm_post('level') : vm_get('level');
    $level = preg_match('/^\d{1,9}$/D', $asked) && isset($levels[(int) $asked]) ? (int) $asked : array_key_first($levels);
    $tables = vm_userpriv_tables();
    if (vm_method() === 'POST') {
        $posted = $_POST['p'] ?? [];
        $names = array_map(static fn($t) => $t['name'], $tables);
        $db = vm_db();
        $db->beginTransaction();
        try {
            vm_query_main('DELETE FROM ' . vm_qt_main($d['priv_table']) . ' WHERE ' . vm_qi_main($d['priv_level']) . ' = ? AND '
                . vm_qi_main($d['priv_table_name']) . ' IN (' . implode(', ', array_fill(0, count($names), '?')) . ')',
                array_merge([$level], array_values($names)));
            foreach ($tables as $var => $t) {
                $bits = vm_permission_bits(is_array($posted[$var] ?? null) ? array_filter($posted[$var], 'is_string') : []);
                if ($bits !== 0) {
                    vm_query_main('INSERT INTO ' . vm_qt_main($d['priv_table']) . ' (' . vm_qi_main($d['priv_table_name']) . ', '
                        . vm_qi_main($d['priv_level']) . ', ' . vm_qi_main($d['priv_value']) . ') VALUES (?, ?, ?)',
                        [$t['name'], $level, $bits]);
                }
            }
            $db->commit();
        } catch (Throwable $e) {
            $db->rollBack();
            throw $e;
        }
        vm_flash('PermissionsSaved');
        vm_redirect(vm_url('userpriv.php', ['level' => (string) $level]));
    }
    $granted = vm_level_permissions($level);
    vm_header(vm_phrase('Permissions'));
    echo '<form method="get" action="userpriv.php" class="vm-search"><label for="level">', vm_ph('UserLevel'),
        '</label> <select id="level" name="level">';
    foreach ($levels as $id => $name) {
        echo '<option value="', $id, '"', $id === $level ? ' selected' : '', '>', vm_h($name), '</option>';
    }
    echo '</select> <button type="submit">', vm_ph('Show'), "</button></form>\n",
        '<form method="post" action="userpriv.php" class="vm-form">', vm_csrf_field(),
        '<input type="hidden" name="level" value="', $level, "\">\n",
        "<div class=\"vm-table-wrap\"><table class=\"vm-grid vm-permissions\">\n<thead><tr><th>", vm_ph('Table'), '</th>';
    foreach (array_keys(VM_PERMISSIONS) as $p) {
        echo '<th>', vm_ph('Permission' . ucfirst($p)), '</th>';
    }
    echo "</tr></thead>\n<tbody>\n";
    foreach ($tables as $var => $t) {
        $bits = $granted[$t['name']] ?? 0;
        echo '<tr><td>', vm_h($t['caption']), '</td>';
        foreach (VM_PERMISSIONS as $p => $bit) {
            $label = vm_h($t['caption'] . ': ' . vm_phrase('Permission' . ucfirst($p)));
            echo '<td class="vm-center"><input type="checkbox" name="p[', vm_h($var), '][]" value="', $p, '" aria-label="',
                $label, '"', ($bits & $bit) !== 0 ? ' checked' : '', '></td>';
        }
        echo "</tr>\n";
    }
    echo "</tbody></table></div>\n<div class=\"vm-buttons\"><button type=\"submit\">", vm_ph('Save'), "</button></div></form>\n";
    vm_footer();
}
