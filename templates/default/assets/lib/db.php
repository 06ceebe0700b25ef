<?php
declare(strict_types=1);

/** The database connection, identifier quoting and a few dialect differences. */

function vm_db(): PDO
{
    static $connections = [];
    $id = vm_connection();
    if (isset($connections[$id])) {
        return $connections[$id];
    }
    $c = array_replace(['type' => 'sqlite', 'path' => '', 'host' => '127.0.0.1', 'port' => '',
        'name' => '', 'user' => '', 'password' => '', 'schema' => ''], vm_db_config());
    $options = [
        PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION,
        PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC,
        PDO::ATTR_EMULATE_PREPARES => false,
    ];
    $pdo = null;
    switch (vm_driver()) {
        case 'sqlite':
            $path = (string) $c['path'];
            if ($path === '' || !is_file($path)) {
                throw new RuntimeException('SQLite database not found: ' . $path);
            }
            $options[PDO::ATTR_TIMEOUT] = 10;
            $pdo = new PDO('sqlite:' . $path, null, null, $options);
            $pdo->exec('PRAGMA foreign_keys = ON');
            break;
        case 'pgsql':
            $dsn = 'pgsql:host=' . $c['host'] . ';dbname=' . $c['name']
                . ($c['port'] !== '' ? ';port=' . $c['port'] : '');
            $pdo = new PDO($dsn, (string) $c['user'], (string) $c['password'], $options);
            $pdo->exec("SET client_encoding TO 'UTF8'");
            if ($c['schema'] !== '') {
                $pdo->exec('SET search_path TO ' . vm_qi((string) $c['schema']));
            }
            break;
        case 'mysql':
            $dsn = 'mysql:host=' . $c['host'] . ';dbname=' . $c['name'] . ';charset=utf8mb4'
                . ($c['port'] !== '' ? ';port=' . $c['port'] : '');
            $pdo = new PDO($dsn, (string) $c['user'], (string) $c['password'], $options);
            break;
    }
    return $connections[$id] = $pdo;
}

/**
 * The database the queries of this request go to: '' the application's own, or the id of a
 * linked database (config 'links') whose table the page shows.
 */
function vm_connection(?string $set = null): string
{
    static $id = '';
    if ($set !== null) {
        if ($set !== '' && !isset(vm_config()['links'][$set])) {
            throw new RuntimeException('Linked database not configured: ' . $set);
        }
        $id = $set;
    }
    return $id;
}

/** The configuration of the current connection. */
function vm_db_config(): array
{
    $id = vm_connection();
    return $id === '' ? (array) vm_config()['db'] : (array) vm_config()['links'][$id];
}

/** sqlite | pgsql | mysql */
function vm_driver(): string
{
    $type = strtolower((string) (vm_db_config()['type'] ?? 'sqlite'));
    return match ($type) {
        'pgsql', 'postgres', 'postgresql' => 'pgsql',
        'mysql', 'mariadb' => 'mysql',
        default => 'sqlite',
    };
}

/** Quotes an identifier (column, table) for the connected database. */
function vm_qi(string $name): string
{
    if (vm_driver() === 'mysql') {
        return '`' . str_replace('`', '``', $name) . '`';
    }
    return '"' . str_replace('"', '""', $name) . '"';
}

/** Quotes a table name, which may carry a schema ("sales.orders"). */
function vm_qt(string $name): string
{
    return implode('.', array_map('vm_qi', explode('.', $name)));
}

/** The column as text, for a LIKE against any column type. */
function vm_sql_text(string $quotedColumn): string
{
    return vm_driver() === 'mysql'
        ? 'CAST(' . $quotedColumn . ' AS CHAR)'
        : 'CAST(' . $quotedColumn . ' AS TEXT)';
}

/** "expr LIKE ?" matching case-insensitively with backslash as the escape character. */
function vm_sql_like(string $expr): string
{
    return match (vm_driver()) {
        'pgsql' => $expr . ' ILIKE ?',
        'mysql' => $expr . ' LIKE ?',
        default => $expr . " LIKE ? ESCAPE '\\'",
    };
}

/** A LIKE pattern finding $text anywhere, with % and _ taken literally. */
function vm_like_pattern(string $text): string
{
    return '%' . addcslashes($text, '\\%_') . '%';
}

/**
 * Runs a query with bound values. Strings are bound as text, which every database converts to
 * the column's type; true/false are bound as booleans, because MySQL takes the text '1' for a
 * BIT(1) column as the character '1', which does not fit.
 */
function vm_query(string $sql, array $params = []): PDOStatement
{
    $st = vm_db()->prepare($sql);
    foreach (array_values($params) as $i => $v) {
        $st->bindValue($i + 1, $v, match (true) {
            $v === null => PDO::PARAM_NULL,
            is_bool($v) => PDO::PARAM_BOOL,
            is_int($v) => PDO::PARAM_INT,
            default => PDO::PARAM_STR,
        });
    }
    $st->execute();
    return $st;
}

/** The class of the SQLSTATE of a database error: '23' constraint violation, '22' bad data, ... */
function vm_sql_state(PDOException $e): string
{
    return substr((string) ($e->errorInfo[0] ?? $e->getCode()), 0, 2);
}

/**
 * The message for an error the user can fix while saving: a constraint violation (duplicate,
 * missing related record) or a value the column cannot hold; null for any other error.
 */
function vm_save_error(PDOException $e): ?string
{
    return match (vm_sql_state($e)) {
        '23' => 'ConstraintError',
        '22' => 'DataError',
        default => null,
    };
}

/** A value as text: null as '', booleans as 1/0, streams (binary columns) read. */
function vm_str(mixed $v): string
{
    if ($v === null) {
        return '';
    }
    if (is_bool($v)) {
        return $v ? '1' : '0';
    }
    if (is_resource($v)) {
        return (string) stream_get_contents($v);
    }
    return (string) $v;
}
