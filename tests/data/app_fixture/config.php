<?php
// The demo shop application (examples/demo/shop.sql).
return [
    'name' => 'Demo Shop',
    'charset' => 'utf-8',
    'rec_per_page' => 20,
    'default_page' => 'index.php',
    'language' => 'english',
    'db' => [
        'type' => 'sqlite',
        'path' => __DIR__ . '/db/shop.db',
        'host' => '', 'port' => '', 'name' => '', 'user' => '', 'password' => '',
        'schema' => '',
    ],
    'security' => ['type' => 'none', 'login' => '', 'password_hash' => '', 'table' => '', 'login_field' => '', 'password_field' => ''],
    'menu' => [
        ['caption' => 'Categories', 'url' => 'categorieslist.php'],
        ['caption' => 'Products', 'url' => 'productslist.php'],
        ['caption' => 'Customers', 'url' => 'customerslist.php'],
        ['caption' => 'Employees', 'url' => 'employeeslist.php'],
        ['caption' => 'Orders', 'url' => 'orderslist.php'],
        ['caption' => 'Order Lines', 'url' => 'order_lineslist.php'],
    ],
    'upload' => ['extensions' => ['jpg', 'jpeg', 'png', 'gif', 'pdf', 'txt'], 'max_size' => 2000000],
];
