#!/usr/bin/env bash
# Orders with lines and notes on SQLite, PostgreSQL and MariaDB through PHP's built-in server:
# the order list counts each order's lines, the view page shows the details as tabs with the
# lines paged (so does the edit form), lines are added with a new order and edited, deleted and
# added with an existing one in one transaction (a line the database refuses stores nothing),
# and a posted line of another order is left alone. A server that cannot be reached skips,
# unless CI=true.
source "$(dirname "$0")/lib/common.sh" "$1"
db=velmora_md_$$
trap 'pg -d velmora_scratch -c "DROP DATABASE IF EXISTS $db" >/dev/null 2>&1; my -e "DROP DATABASE IF EXISTS $db" 2>/dev/null; rm -rf "$scratch"' EXIT
pg -d velmora_scratch -c "CREATE DATABASE $db" >/dev/null 2>&1
my -e "CREATE DATABASE $db" >/dev/null 2>&1

schema() {  # schema ID-COLUMN
    cat <<SQL
CREATE TABLE md_orders (id $1, name VARCHAR(20) NOT NULL);
CREATE TABLE md_lines (id $1, order_id INTEGER NOT NULL, item VARCHAR(20) NOT NULL, qty INTEGER NOT NULL,
    CONSTRAINT qty_positive CHECK (qty > 0), FOREIGN KEY (order_id) REFERENCES md_orders (id));
CREATE TABLE md_notes (id $1, order_id INTEGER NOT NULL, note VARCHAR(40),
    FOREIGN KEY (order_id) REFERENCES md_orders (id));
INSERT INTO md_orders (name) VALUES ('first');
INSERT INTO md_orders (name) VALUES ('second');
INSERT INTO md_lines (order_id, item, qty) VALUES (1, 'a', 1), (1, 'b', 2), (1, 'c', 3), (2, 'd', 4);
INSERT INTO md_notes (order_id, note) VALUES (1, 'hello');
SQL
}

http_checks() {  # http_checks PORT KIND QUERY-COMMAND: prints what failed, exits with their number
    PYTHONPATH="$root/tests/app" python3 - "$@" <<'PY'
import re, subprocess, sys
import http_app_test as h
h.BASE, kind, query = f"http://127.0.0.1:{sys.argv[1]}/", sys.argv[2], sys.argv[3]
failed = 0

def check(name, ok, got=""):
    global failed
    if not ok:
        failed += 1
        print(f"FAIL {kind} {name} {got}")

web = h.Client()
get = lambda path: web.get(path, follow=True).text

def post(page, fields):
    token = re.search(r'name="_csrf" value="([^"]+)"', get(page)).group(1)
    return web.post(page, [("_csrf", token)] + list(fields.items()), follow=True).text

def sql(statement):
    return subprocess.run(query, shell=True, capture_output=True, text=True, input=statement).stdout.replace("\t", "|").split()

def lines(order):
    return sql(f"SELECT l.item, l.qty FROM md_lines l JOIN md_orders o ON o.id = l.order_id WHERE o.name = '{order}' ORDER BY l.id;")

listed = get("md_orderslist.php")
check("count", re.findall(r">Md Lines \((\d+)\)<", listed) == ["3", "1"], re.findall(r"Md Lines[^<]*", listed))
check("link-without-count", ">Md Notes<" in listed and "md_noteslist.php?master=md_orders&fk_order_id=1" in listed)

view = get("md_ordersview.php?key[id]=1")
check("tabs", view.count('class="vm-dtab-input"') == 2 and "hello" in view)
rows = lambda page: re.findall(r"<td>([abc])</td>", page)
check("paged", rows(view) == ["a", "b"], rows(view))
more = re.search(r'href="(md_ordersview\.php\?[^"]*dstart[^"]*)"[^>]*>Next<', view)
check("next-page", more is not None and rows(get(more.group(1))) == ["c"])

form = get("md_ordersedit.php?key[id]=1")   # DetailEditPaging: the first 2 lines, then a pager
check("edit-paged", re.findall(r'name="d\[md_lines\]\[(e\d)\]\[item\]"', form) == ["e0", "e1"] and ">Next<" in form)

new = {"f[name]": "third", "d[md_lines][n0][item]": "x", "d[md_lines][n0][qty]": "5",
       "d[md_lines][n1][item]": "", "d[md_lines][n1][qty]": ""}
check("add-with-lines", "added" in post("md_ordersadd.php", new) and lines("third") == ["x|5"], lines("third"))
refused = post("md_ordersadd.php", {**new, "f[name]": "fourth", "d[md_lines][n1][item]": "z", "d[md_lines][n1][qty]": "0"})
check("refused-line-stores-nothing", "qty_positive" in refused and sql("SELECT COUNT(*) FROM md_orders WHERE name = 'fourth';") == ["0"])

edit = {"f[name]": "first",
        "dk[md_lines][e0][id]": "1", "d[md_lines][e0][item]": "a", "d[md_lines][e0][qty]": "7",
        "dk[md_lines][e1][id]": "2", "d[md_lines][e1][item]": "b", "d[md_lines][e1][qty]": "2", "dx[md_lines][e1]": "1",
        "dk[md_lines][e2][id]": "3", "d[md_lines][e2][item]": "c", "d[md_lines][e2][qty]": "3",
        "dk[md_lines][e3][id]": "4", "d[md_lines][e3][item]": "d", "d[md_lines][e3][qty]": "99",   # order 2's line
        "d[md_lines][n0][item]": "y", "d[md_lines][n0][qty]": "1"}
check("edit-with-lines", "updated" in post("md_ordersedit.php?key[id]=1", edit)
      and lines("first") == ["a|7", "c|3", "y|1"] and lines("second") == ["d|4"], lines("first") + lines("second"))
sys.exit(failed)
PY
}

case_for() {  # case_for NAME LOAD-COMMAND QUERY-COMMAND ID-COLUMN NEW-ARGS...
    local name=$1 load=$2 query=$3 id=$4 rc port server
    shift 4
    schema "$id" | eval "$load" >"$scratch/load.log" 2>&1 || { unreachable "$name" "$scratch/load.log"; return; }
    "$velmora" new "$scratch/$name.vlp" "$@" >/dev/null 2>&1; check "$name-new" 0 $?
    "$velmora" set "$scratch/$name.vlp" md_lines.TblDetailShowCount=True md_lines.TblDetailView=True \
        md_lines.TblDetailAdd=True md_lines.TblDetailEdit=True md_lines.TblDetailViewPaging=True md_lines.TblRecPerPage=2 \
        md_notes.TblDetailView=True md_orders.TblShowMultipleDetails=False DetailEditPaging=True >/dev/null; check "$name-set" 0 $?
    "$velmora" generate "$scratch/$name.vlp" --dest "$scratch/$name-app" --yes --overwrite all >/dev/null 2>&1
    check "$name-generate" 0 $?
    serve "$scratch/$name-app" "$scratch/$name-php.log"
    http_checks "$port" "$name" "$query"; rc=$?
    kill $server; wait $server 2>/dev/null
    check "$name-http" 0 $rc; [ $rc -eq 0 ] || grep -a 'velmora\|PHP ' "$scratch/$name-php.log" | tail -5
    check "$name-no-php-warnings" 0 "$(php_problems "$scratch/$name-php.log")"
}

case_for sqlite "sqlite3 '$scratch/md.db'" "sqlite3 '$scratch/sqlite-app/db/md.db'" "INTEGER PRIMARY KEY AUTOINCREMENT" \
    --db sqlite --file "$scratch/md.db"
psql="PGPASSWORD=velmora psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U velmora -d $db"
mysql="MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -P 3306 -u velmora $db"
case_for pgsql "$psql" "$psql -At" "integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY" \
    --db postgresql --host 127.0.0.1 --port 5432 --user velmora --password velmora --database $db
case_for mysql "$mysql" "$mysql -N -B" "INT AUTO_INCREMENT PRIMARY KEY" \
    --db mysql --host 127.0.0.1 --port 3306 --user velmora --password velmora --database $db

echo "master_detail: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
