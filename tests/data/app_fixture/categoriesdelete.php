<?php
require __DIR__ . '/lib/runtime.php';
vm_run('delete', 'categories');
