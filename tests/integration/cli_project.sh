#!/usr/bin/env bash
# The command line with project files: a new project saves and loads back; the sample loads;
# a damaged file is reported and left as it was; settings are read and changed with get and set.
source "$(dirname "$0")/lib/common.sh" "$1"

check new-path "$scratch/shop.vlp" "$("$velmora" new "$scratch/shop.vlp" --name "My Shop")"
grep -q 'ProjName="My Shop"' "$scratch/shop.vlp"; check new-name 0 $?
# A project without a database is not a project the reader takes.
check new-no-database "Velmora: No Database Information in Project File!" "$("$velmora" show "$scratch/shop.vlp" 2>&1 >/dev/null | tail -n 1)"
check new-default-name "My_Shop.vlp" "$(cd "$scratch" && "$velmora" new My_Shop.vlp)"
grep -q 'ProjName="My_Shop"' "$scratch/My_Shop.vlp"; check new-name-from-file 0 $?
check sample-tables 5 "$("$velmora" show "$root/examples/sample.vlp" --json 2>/dev/null | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["tables"]))')"

head -c 300 "$scratch/shop.vlp" > "$scratch/cut.vlp"
cp "$scratch/cut.vlp" "$scratch/cut.before"
"$velmora" show "$scratch/cut.vlp" >/dev/null 2>"$scratch/err"; check truncated-exit 1 $?
check truncated-message 1 "$(grep -c . "$scratch/err" | awk '{print ($1 > 0)}')"
cmp -s "$scratch/cut.vlp" "$scratch/cut.before"; check truncated-kept 0 $?
"$velmora" show "$scratch/missing.vlp" >/dev/null 2>&1; check missing-exit 1 $?

# A new project of a database generates with no other step; a table without a key gets the pages
# of a view; text columns are quick-searched, long texts listed and lists export to CSV; a column
# named like a password gets the password control and stays off lists and view pages.
sqlite3 "$scratch/shop.db" < "$root/examples/sql/sample_sqlite.sql"
sqlite3 "$scratch/shop.db" "CREATE TABLE audit (at TEXT, what TEXT, user_pwd VARCHAR(60))"
"$velmora" new "$scratch/fresh.vlp" --db sqlite --file "$scratch/shop.db" >/dev/null 2>&1; check new-from-db 0 $?
check new-language "english.xml" "$("$velmora" get "$scratch/fresh.vlp" DefaultLanguageFile 2>/dev/null)"
for pair in audit.TblEdit=False audit.TblDelete=False ExportCsv=True customers.TblBasicSearch=True \
            customers.last_name.FldBasicSearch=True customers.birth_date.FldBasicSearch=False \
            audit.what.FldList=True audit.user_pwd.FldHtmlTag=PASSWORD audit.user_pwd.FldList=False \
            audit.user_pwd.FldView=False; do
    check "new-${pair%%=*}" "${pair#*=}" "$("$velmora" get "$scratch/fresh.vlp" "${pair%%=*}" 2>/dev/null)"
done
"$velmora" generate "$scratch/fresh.vlp" --dest "$scratch/fresh-app" </dev/null >/dev/null 2>&1; check new-generates 0 $?
check new-keyless-pages "auditadd.php auditlist.php" "$(cd "$scratch/fresh-app" && ls audit* | xargs)"

# Settings read and changed without a script: converted by type, saved together, refused whole.
sample="$scratch/sample.vlp"
cp "$root/examples/sample.vlp" "$sample"
pairs=("orders.TblCaption=Open orders" orders.TblGen=False RecPerPage=25 orders.OrderDate.FldCaption=Placed)
"$velmora" set "$sample" "${pairs[@]}" 2>/dev/null; check set-exit 0 $?
for pair in "${pairs[@]}"; do
    check "get-${pair%%=*}" "${pair#*=}" "$("$velmora" get "$sample" "${pair%%=*}" 2>/dev/null)"
done
check get-all 1 "$("$velmora" get "$sample" orders --all 2>/dev/null | grep -c '^TblCaption=Open orders$')"
cp "$sample" "$scratch/sample.before"
for bad in "RecPerPage=lots" "orders.TblCaptoin=x" "nowhere.TblCaption=x" "orders.TblName=x" "orders.Nothing.FldCaption=x"; do
    "$velmora" set "$sample" orders.TblCaption=Changed "$bad" >/dev/null 2>&1; check "set-refuses-$bad" 1 $?
done
cmp -s "$sample" "$scratch/sample.before"; check set-refused-keeps-file 0 $?
"$velmora" set "$sample" no-equals-sign >/dev/null 2>&1; check set-usage 2 $?

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
