#!/usr/bin/env bash
# Export of a generated application's list to CSV and to Excel (.xlsx): 1,000 and 100,000 rows of
# 10 columns from SQLite, each run as its own PHP process (the page the server would run), with
# the time taken, PHP's peak memory (memory_get_peak_usage) and the process's peak resident size.
# Memory should be the same for both row counts: rows are read and written a batch at a time.
#   bench/export_bench.sh [path/to/velmora]
source "$(dirname "$0")/bench_setup.sh" export_bench "${1:-}"

sqlite3 "$work/bench.db" <<'SQL'
CREATE TABLE sales (id INTEGER PRIMARY KEY, customer VARCHAR(60), email VARCHAR(120), city VARCHAR(60),
    amount NUMERIC(10,2), quantity INTEGER, sold DATE, updated DATETIME, paid BOOLEAN, note VARCHAR(200));
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
INSERT INTO sales SELECT i, 'Customer ' || i || ' Jörg', 'c' || i || '@example.com', 'City ' || (i % 97),
    round((i % 10000) / 7.0, 2), i % 50, date('2020-01-01', '+' || (i % 1500) || ' days'),
    datetime('2020-01-01 08:00:00', '+' || i || ' minutes'), i % 2, 'Note ' || i FROM n;
SQL
"$velmora" new "$work/bench.vlp" --db sqlite --file "$work/bench.db" >/dev/null 2>&1
"$velmora" set "$work/bench.vlp" ExportExcel=True ExportCsv=True sales.TblRecPerPage=1000 >/dev/null
"$velmora" generate "$work/bench.vlp" --dest "$work/app" --yes --overwrite all >/dev/null 2>&1

run() {  # run FORMAT ALL: one export through the list page, printed as a table row
    local format=$1 all=$2 rows
    (cd "$work/app" && /usr/bin/time -f '%e %M' -o "$work/time" php -d memory_limit=512M -r '
        $_SERVER["REQUEST_METHOD"] = "GET"; $_SERVER["SCRIPT_NAME"] = "/saleslist.php";
        $_GET = ["export" => $argv[1], "all" => $argv[2]];
        register_shutdown_function(static fn() => file_put_contents($argv[3], (string) memory_get_peak_usage()));
        require "saleslist.php";' "$format" "$all" "$work/peak" > "$work/out.$format")
    rows=$([ "$all" = 1 ] && echo 100000 || echo 1000)
    read -r seconds rss < "$work/time"
    printf '%-5s %7s rows  %6.2f s  PHP peak %6.1f MiB  RSS %6.1f MiB  file %7.1f MiB\n' "$format" "$rows" "$seconds" \
        "$(echo "$(cat "$work/peak") / 1048576" | bc -l)" "$(echo "$rss / 1024" | bc -l)" \
        "$(echo "$(stat -c %s "$work/out.$format") / 1048576" | bc -l)"
}
echo "== export of a list of 10 columns (SQLite, PHP $(php -r 'echo PHP_VERSION;'))"
for format in csv xlsx; do
    run "$format" 0
    run "$format" 1
done
# the workbook holds every row
python3 - "$work/out.xlsx" <<'PY'
import sys, zipfile
rows = zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml').count(b'<row ')
print(f'xlsx check: {rows - 1} data rows')
PY
