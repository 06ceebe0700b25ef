<?php
require __DIR__ . '/lib/runtime.php';
vm_run('view', 'orders');
