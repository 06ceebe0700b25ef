<?php
declare(strict_types=1);

/** The audit trail file, newest entries first, for the administrator. */
function vm_page_audittrail(): void
{
    if (!vm_is_admin() || vm_config()['security']['type'] === 'none') {
        vm_refuse_page();
    }
    require_once VM_LIB_DIR . '/audit.php';
    $limit = 500;
    $entries = vm_audit_read($limit);
    vm_header(vm_phrase('AuditTrail'));
    if ($entries === []) {
        echo '<p class="vm-message">', vm_ph('NoRecords'), "</p>\n";
        vm_footer();
        return;
    }
    echo '<p>', vm_h(vm_phrase_fill('AuditNewest', ['count' => $limit])), "</p>\n",
        "<div class=\"vm-table-wrap\"><table class=\"vm-grid\">\n<thead><tr>";
    foreach (VM_AUDIT_COLUMNS as $col) {
        echo '<th>', vm_ph('Audit_' . $col), '</th>';
    }
    echo "</tr></thead>\n<tbody>\n";
    foreach ($entries as $entry) {
        echo '<tr>';
        foreach (VM_AUDIT_COLUMNS as $col) {
            echo '<td>', vm_h(is_scalar($entry[$col] ?? null) ? (string) $entry[$col] : ''), '</td>';
        }
        echo "</tr>\n";
    }
    echo "</tbody></table></div>\n";
    vm_footer();
}
