<?php
require __DIR__ . '/lib/runtime.php';
vm_run('lookup', 'orders', 'employee_id');
