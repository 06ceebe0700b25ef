<?php
require __DIR__ . '/lib/runtime.php';
vm_run('lookup', 'products', 'category_id');
