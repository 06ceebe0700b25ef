<?php
declare(strict_types=1);

/** The menu page: a link to every table's list. */
function vm_page_index(): void
{
    vm_header(vm_phrase('Home'));
    echo "<ul class=\"vm-index\">\n";
    foreach (vm_config()['menu'] as $item) {
        if (is_array($item) && isset($item['url'], $item['caption'])) {
            echo '<li>', vm_link((string) $item['url'], (string) $item['caption']), "</li>\n";
        }
    }
    echo "</ul>\n";
    vm_footer();
}
