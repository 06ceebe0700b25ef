<?php
declare(strict_types=1);

/** The database connection, identifier quoting and a few dialect differences. */

function vm_db(): PDO
{
    static $connections = [];
    $id = vm_connection();
    if (!isset($connections[$id])) {
        $t0 = hrtime(true);
        $connections[$id] = vm_db_open();
        vm_db_time('connect', $t0);
    }
    return $connections[$id];
}

/** Milliseconds spent connecting and in queries so far ('connect', 'query'), for Server-Timing. */
function vm_db_time(?string $add = null, int $since = 0): array
{
    static $spent = ['connect' => 0.0, 'query' => 0.0];
    if ($add !== null) {
        $spent[$add] += (hrtime(true) - $since) / 1e6;
    }
    return $spent;
}

/** A new connection to the current database (vm_db() keeps one per database for the request). */
function vm_db_open(): PDO
{
    $c = array_replace(['type' => 'sqlite', 'path' => '', 'host' => '127.0.0.1', 'port' => '',
        'name' => '', 'user' => '', 'password' => '', 'schema' => ''], vm_db_config());
    $options = [
        PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION,
        PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC,
        PDO::ATTR_EMULATE_PREPARES => false,
    ];
    if (vm_driver() !== 'sqlite' && ($c['persistent'] ?? true)) {
        // a server's connection stays open for the process's next requests: PostgreSQL starts a
        // process and checks the password for each new one, often half of a short page's time;
        // PDO rolls back a transaction a request leaves open
        $options[PDO::ATTR_PERSISTENT] = true;
    }
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
    return $pdo;
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

/**
 * "expr LIKE ?" matching $pattern (bound by the caller) case-insensitively, with backslash as the
 * escape character.
 */
function vm_sql_like(string $expr, string $pattern): string
{
    return match (vm_driver()) {
        // Folding case by the locale costs PostgreSQL more than the scan itself. An ASCII pattern
        // can only match ASCII letters, which lower() under the "C" collation folds without a
        // locale lookup; lower() on both sides is still twice as fast as ILIKE.
        'pgsql' => 'lower(' . $expr . (preg_match('/[\x80-\xff]/', $pattern) ? '' : ' COLLATE "C"')
            . ') LIKE lower(?)',
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
 * A binary column as lists and record pages read it: its size and the hex of its first 16 bytes
 * ("1234:89504e47..."), enough to tell whether anything is stored and whether it is an image,
 * without reading the content of every row; NULL stays NULL.
 */
function vm_sql_blob_summary(string $c): string
{
    return 'CASE WHEN ' . $c . ' IS NULL THEN NULL ELSE ' . match (vm_driver()) {
        'pgsql' => 'octet_length(' . $c . ") || ':' || encode(substring(" . $c . " from 1 for 16), 'hex')",
        'mysql' => 'CONCAT(LENGTH(' . $c . "), ':', HEX(SUBSTRING(" . $c . ', 1, 16)))',
        default => 'length(' . $c . ") || ':' || hex(substr(" . $c . ', 1, 16))',
    } . ' END';
}

/**
 * "expr = ?" comparing a number column with a number given as text, exactly and without an error
 * for any number: PostgreSQL would read the text as the column's type (2.5 or 99999 for a
 * smallint fail), SQLite would compare text with a number and find nothing.
 */
function vm_sql_number_equals(string $expr): string
{
    return $expr . match (vm_driver()) {
        'mysql' => ' = CAST(? AS DECIMAL(65,30))',
        default => ' = CAST(? AS NUMERIC)',
    };
}

/**
 * Precision and scale of a table's constrained decimal columns from the database's catalogue:
 * column => [precision, scale].
 */
function vm_catalogue_decimals(string $table): array
{
    $parts = explode('.', $table);
    $name = array_pop($parts);
    $schema = $parts === [] ? null : implode('.', $parts);
    $out = [];
    switch (vm_driver()) {
        case 'pgsql':
            $rows = vm_query("SELECT attname AS c, atttypmod AS m FROM pg_attribute WHERE attrelid = CAST(? AS regclass)"
                . " AND attnum > 0 AND NOT attisdropped AND atttypid = 'numeric'::regtype", [vm_qt($table)])->fetchAll();
            foreach ($rows as $r) {
                $m = (int) $r['m'] - 4;   // -1: no precision given
                if ($m >= 0) {
                    $out[(string) $r['c']] = [($m >> 16) & 0xffff, $m & 0xffff];
                }
            }
            break;
        case 'mysql':
            $rows = vm_query('SELECT COLUMN_NAME AS c, NUMERIC_PRECISION AS p, NUMERIC_SCALE AS s FROM information_schema.COLUMNS'
                . " WHERE TABLE_SCHEMA = COALESCE(?, DATABASE()) AND TABLE_NAME = ? AND DATA_TYPE IN ('decimal', 'numeric')",
                [$schema, $name])->fetchAll();
            foreach ($rows as $r) {
                $out[(string) $r['c']] = [(int) $r['p'], (int) $r['s']];
            }
            break;
        default:
            $rows = $schema === null ? vm_query('SELECT name AS c, type AS t FROM pragma_table_info(?)', [$name])
                : vm_query('SELECT name AS c, type AS t FROM pragma_table_info(?, ?)', [$name, $schema]);
            foreach ($rows->fetchAll() as $r) {   // the declared type: NUMERIC(4,2)
                if (preg_match('/\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\)/', (string) $r['t'], $m)) {
                    $out[(string) $r['c']] = [(int) $m[1], (int) ($m[2] ?? 0)];
                }
            }
    }
    return $out;
}

/**
 * Runs a query with bound values. Strings are bound as text, which every database converts to
 * the column's type; true/false are bound as booleans, because MySQL takes the text '1' for a
 * BIT(1) column as the character '1', which does not fit; an open stream is bound as a LOB.
 * $db: another connection than the request's own.
 */
function vm_query(string $sql, array $params = [], ?PDO $db = null): PDOStatement
{
    $st = ($db ?? vm_db())->prepare($sql);
    foreach (array_values($params) as $i => $v) {
        $st->bindValue($i + 1, $v, match (true) {
            $v === null => PDO::PARAM_NULL,
            is_bool($v) => PDO::PARAM_BOOL,
            is_int($v) => PDO::PARAM_INT,
            is_resource($v) => PDO::PARAM_LOB,   // the content of a binary column
            default => PDO::PARAM_STR,
        });
    }
    $t0 = hrtime(true);
    $st->execute();
    vm_db_time('query', $t0);
    return $st;
}

/** The class of the SQLSTATE of a database error: '23' constraint violation, '22' bad data, ... */
function vm_sql_state(PDOException $e): string
{
    return substr((string) ($e->errorInfo[0] ?? $e->getCode()), 0, 2);
}

/**
 * What a database error says about the values written: [kind, column, rule], kind one of unique,
 * foreign, check, not_null, too_long, range, or '' for another error; column and rule ('' when
 * the driver names none) as the driver's message gives them, never shown as they are.
 */
function vm_db_error(PDOException $e): array
{
    $state = (string) ($e->errorInfo[0] ?? $e->getCode());
    $code = (int) ($e->errorInfo[1] ?? 0);
    $msg = (string) ($e->errorInfo[2] ?? $e->getMessage());
    $col = '';
    $rule = '';
    switch (vm_driver()) {
        case 'pgsql':
            $kind = match ($state) {
                '23505' => 'unique', '23503' => 'foreign', '23514' => 'check', '23502' => 'not_null',
                '22001' => 'too_long', '22003' => 'range', default => '',
            };
            if (preg_match('/constraint "((?:[^"]|"")+)"/', $msg, $m)) {
                $rule = str_replace('""', '"', $m[1]);
            }
            if (preg_match('/(?:Key \(|column ")([^)"]+)/', $msg, $m)) {
                $col = $m[1];
            }
            break;
        case 'mysql':
            $kind = match ($code) {
                1062 => 'unique', 1451, 1452 => 'foreign', 3819, 4025 => 'check', 1048 => 'not_null',
                1406 => 'too_long', 1264 => 'range', default => '',
            };
            if (preg_match("/(?:column '([^']+)'|FOREIGN KEY \(`([^`]+)`\))/i", $msg, $m)) {
                $col = $m[1] !== '' ? $m[1] : $m[2];
            }
            if (preg_match("/(?:CONSTRAINT `([^`]+)`|constraint '([^']+)'|for key '([^']+)')/i", $msg, $m)) {
                $rule = (string) array_values(array_filter(array_slice($m, 1), 'strlen'))[0];
                $rule = $kind === 'unique' ? substr($rule, (int) strrpos('.' . $rule, '.')) : $rule;
            }
            break;
        default:
            $kind = '';
            if (preg_match('/(UNIQUE|PRIMARY KEY|CHECK|FOREIGN KEY|NOT NULL) constraint failed(?::\s*(.+))?/', $msg, $m)) {
                $kind = match ($m[1]) {
                    'CHECK' => 'check', 'FOREIGN KEY' => 'foreign', 'NOT NULL' => 'not_null', default => 'unique',
                };
                $what = trim($m[2] ?? '');
                if ($kind === 'check') {
                    $rule = $what;
                } elseif (!str_contains($what, ',')) {
                    $col = substr($what, (int) strrpos('.' . $what, '.'));   // "table.column"
                }
            }
    }
    return [$kind, $col, $rule];
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
