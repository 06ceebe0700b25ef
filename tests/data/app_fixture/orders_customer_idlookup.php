<?php
require __DIR__ . '/lib/runtime.php';
vm_run('lookup', 'orders', 'customer_id');
