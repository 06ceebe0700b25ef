#!/usr/bin/env bash
# Orders with lines and notes on SQLite, PostgreSQL and MariaDB over HTTP: counts, detail tabs and paging, and
# lines saved with their order in one transaction (a refused line stores nothing, another order's is left alone).
source "$(dirname "$0")/lib/common.sh" "$1"
db=velmora_master_detail
declare -A query=([sqlite]="sqlite3 '$scratch/sqlite-app/db/$db.db'"
    [pg]="PGPASSWORD=velmora psql -X -q -h 127.0.0.1 -U velmora -At -d $db"
    [my]="MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -u velmora -N -B $db")
settings=(md_lines.TblDetailShowCount=True md_lines.TblDetailView=True md_lines.TblDetailAdd=True
    md_lines.TblDetailEdit=True md_lines.TblDetailViewPaging=True md_lines.TblRecPerPage=2 md_notes.TblDetailView=True
    md_orders.TblShowMultipleDetails=False DetailEditPaging=True)

http_checks() {  # http_checks KIND PORT: prints what failed, exits with their number
    PYTHONPATH="$root/tests/app" python3 - "$1" "$2" "${query[$1]}" <<'PY'
import re, subprocess, sys
import http_app_test as h
kind, h.BASE, query = sys.argv[1], f"http://127.0.0.1:{sys.argv[2]}/", sys.argv[3]
failures = []
check = lambda name, ok, got="": ok or failures.append(f"FAIL {kind} {name} {got}")

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
print(*failures, sep="\n")
sys.exit(len(failures))
PY
}

for dialect in sqlite pg my; do
    app_case $dialect $db orders_with_lines_and_notes settings http_checks
done

echo "master_detail: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
