<?php
require __DIR__ . '/lib/runtime.php';
vm_run('add', 'categories');
