<?php
require __DIR__ . '/lib/runtime.php';
vm_run('lookup', 'order_lines', 'product_id');
