<?php
declare(strict_types=1);

/** The menu page: a link to every page of the menu the user may open. */
function vm_page_index(): void
{
    $menu = vm_menu();
    if (!vm_logged_in() && $menu === []) {
        vm_redirect('login.php?return=' . rawurlencode(vm_current_url()), 302);
    }
    vm_header(vm_phrase('Home'));
    [$when, $where] = $_SESSION['vm_last_login'] ?? ['', ''];
    if ($when !== '') {
        echo '<p class="vm-last-login">', vm_h(vm_phrase_fill('LastLogin', ['time' => $when, 'address' => $where])), "</p>\n";
    }
    echo "<ul class=\"vm-index\">\n";
    foreach ($menu as $item) {
        echo '<li>', vm_link($item['url'], $item['caption']), "</li>\n";
    }
    echo "</ul>\n";
    vm_footer();
}
