<?php
require __DIR__ . '/lib/runtime.php';
vm_run('edit', 'order_lines');
