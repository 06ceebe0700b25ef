<?php
/**
 * Runs one SQL statement on the database of a generated application, connecting with the
 * settings of its config.php, and prints the rows it returns as a JSON list of objects.
 *
 *   php tests/app/sql.php APP "SELECT name FROM categories WHERE category_id = ?" 3
 *
 * Arguments after the statement are bound to its ? placeholders, as text. Values come back as
 * text (booleans as "1"/"0", NULL as null) so that callers see the same thing on every database.
 * Identifiers may be double-quoted on MySQL/MariaDB too (ANSI_QUOTES). The connection is made
 * here and not by the application's runtime, so the checks do not share its faults.
 */
declare(strict_types=1);

if ($argc < 3) {
    fwrite(STDERR, "usage: php sql.php APP SQL [PARAM...]\n");
    exit(2);
}
$config = require rtrim($argv[1], '/') . '/config.php';
$db = array_replace(['type' => 'sqlite', 'path' => '', 'host' => '127.0.0.1', 'port' => '', 'name' => '',
    'user' => '', 'password' => '', 'schema' => ''], $config['db'] ?? []);
$options = [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION, PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC];
$port = $db['port'] !== '' ? ';port=' . $db['port'] : '';
switch (strtolower((string) $db['type'])) {
    case 'pgsql':
    case 'postgres':
    case 'postgresql':
        $pdo = new PDO('pgsql:host=' . $db['host'] . $port . ';dbname=' . $db['name'], $db['user'], $db['password'], $options);
        if ($db['schema'] !== '') {
            $pdo->exec('SET search_path TO "' . str_replace('"', '""', $db['schema']) . '"');
        }
        break;
    case 'mysql':
    case 'mariadb':
        $pdo = new PDO('mysql:host=' . $db['host'] . $port . ';dbname=' . $db['name'] . ';charset=utf8mb4',
            $db['user'], $db['password'], $options);
        $pdo->exec("SET SESSION sql_mode = CONCAT(@@sql_mode, ',ANSI_QUOTES')");
        break;
    default:
        if (!is_file($db['path'])) {
            fwrite(STDERR, "no SQLite database at {$db['path']}\n");
            exit(1);
        }
        $pdo = new PDO('sqlite:' . $db['path'], null, null, $options);
        $pdo->exec('PRAGMA foreign_keys = ON');
}

$st = $pdo->prepare($argv[2]);
$st->execute(array_slice($argv, 3));
$rows = [];
if ($st->columnCount() > 0) {
    foreach ($st->fetchAll() as $row) {
        foreach ($row as $k => $v) {
            $row[$k] = match (true) {
                $v === null => null,
                is_bool($v) => $v ? '1' : '0',
                is_resource($v) => stream_get_contents($v),
                default => (string) $v,
            };
        }
        $rows[] = $row;
    }
}
echo json_encode($rows, JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE | JSON_THROW_ON_ERROR), "\n";
