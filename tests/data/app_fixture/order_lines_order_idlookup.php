<?php
require __DIR__ . '/lib/runtime.php';
vm_run('lookup', 'order_lines', 'order_id');
