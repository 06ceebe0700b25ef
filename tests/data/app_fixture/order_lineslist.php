<?php
require __DIR__ . '/lib/runtime.php';
vm_run('list', 'order_lines');
