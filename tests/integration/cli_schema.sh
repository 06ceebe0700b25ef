#!/usr/bin/env bash
# velmora new and inspect on the sample schema from SQLite and on Chinook from PostgreSQL and MariaDB;
# failures exit 1 with the reason and write no project file.
source "$(dirname "$0")/lib/common.sh" "$1"

value() {  # value TABLE [FIELD] KEY: one value of `inspect --json`, of the table or of its field
    python3 -c 'import json,sys
t = next(t for t in json.load(open(sys.argv[1]))["tables"] if t["TblName"] == sys.argv[2])
o = next(f for f in t["fields"] if f["FldName"] == sys.argv[3]) if len(sys.argv) == 5 else t
print(str(o[sys.argv[-1]]).replace("\r\n", ","))' "$scratch/inspect.json" "$@"
}

sqlite3 "$scratch/shop.db" < "$root/examples/sql/sample_sqlite.sql"

check sqlite-new "$scratch/shop.vlp" "$("$velmora" new "$scratch/shop.vlp" --name Shop --db sqlite --file "$scratch/shop.db" 2>/dev/null)"
"$velmora" inspect "$scratch/shop.vlp" --json > "$scratch/inspect.json"; check sqlite-inspect 0 $?
check sqlite-key "line_no,order_id" "$(value order_items TblKey)"
check sqlite-auto True "$(value customers customer_id FldAutoIncrement)"
check sqlite-default "L'Aquila" "$(value customers city FldDefault)"
check sqlite-size 120 "$(value customers email FldSize)"
"$velmora" inspect "$scratch/shop.vlp" | grep -q '^  email  *VARCHAR  *200 *120 RU$'; check sqlite-text 0 $?
"$velmora" inspect "$scratch/shop.vlp" | grep -q '^Database shop (SQLite'; check sqlite-db-name 0 $?

# The same load from a script, as a host program drives it.
cat > "$scratch/load.js" <<'JS'
var p = new AGP();
p.AddProj("Scripted");
if (!p.LoadDB("shop", "SQLITE", "", scriptArgs[0], false, "", "", "", "")) throw new Error(p.ProjErr);
var items = p.DB.Tables.Item("order_items");
print(p.DB.Tables.Count(), items.TblKey.replace("\r\n", ","), p.JVMLoaded());
print(p.LoadDB("shop", "SQLITE", "", scriptArgs[0], false, "", "", "", "") + " " + p.ProjErr);
JS
check script-load "11 line_no,order_id True
false database already loaded!" "$("$velmora" script "$scratch/load.js" "$scratch/shop.db" 2>/dev/null)"

# Failures: the reason on stderr, exit 1, no project file.
"$velmora" new "$scratch/none.vlp" --db sqlite --file "$scratch/missing.db" >/dev/null 2>"$scratch/err"; check missing-exit 1 $?
grep -q "Connection Error" "$scratch/err"; check missing-message 0 $?
check missing-no-project 1 "$([ -e "$scratch/none.vlp" ]; echo $?)"
check missing-no-db 1 "$([ -e "$scratch/missing.db" ]; echo $?)"
"$velmora" new "$scratch/none.vlp" --db oracle >/dev/null 2>&1; check unknown-type-exit 2 $?

server_case() {  # server_case NAME TYPE PORT
    local name=$1 type=$2 port=$3
    new_project "$name" --db "$type" "${login[@]}" --port "$port" --database chinook || return
    "$velmora" inspect "$scratch/$name.vlp" --json > "$scratch/inspect.json"
    python3 - "$scratch/inspect.json" > "$scratch/$name.summary" <<'PY'
import json, sys
p = json.load(open(sys.argv[1]))
for t in sorted(p["tables"], key=lambda t: t["TblName"].replace("_", "").lower()):
    for f in t["fields"]:
        print(t["TblName"].replace("_", "").lower(), f["FldName"].replace("_", "").lower(), f["FldType"],
              f["FldIsPrimaryKey"], f["FldReq"])
PY
    VELMORA_DB_PASSWORD=wrong "$velmora" new "$scratch/bad.vlp" --db "$type" --port "$port" --user velmora \
        --database chinook >/dev/null 2>"$scratch/err"
    check "$name-bad-password-exit" 1 $?
    grep -q "User ID / Password not valid" "$scratch/err"; check "$name-bad-password-message" 0 $?
    "$velmora" new "$scratch/bad.vlp" --db "$type" --port "$port" --user velmora --password velmora \
        --database no_such_database >/dev/null 2>&1
    check "$name-no-database-exit" 1 $?
}
server_case pg postgresql 5432
server_case my mysql 3306
if [ -s "$scratch/pg.summary" ] && [ -s "$scratch/my.summary" ]; then
    cmp -s "$scratch/pg.summary" "$scratch/my.summary"; check chinook-same-on-both 0 $?
    [ "$(wc -l < "$scratch/pg.summary")" -eq 64 ]; check chinook-columns 0 $?
fi

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
