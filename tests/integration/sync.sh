#!/usr/bin/env bash
# velmora sync on SQLite, PostgreSQL and MariaDB after a column is renamed, added, dropped and widened: --check
# fails, --rename keeps the user's captions and logs, and the list page shows the new column, not the dropped one.
source "$(dirname "$0")/lib/common.sh" "$1"
cd "$scratch"

pg() { PGPASSWORD=velmora psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U velmora -d velmora_scratch "$@"; }
my() { MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -u velmora velmora_scratch "$@"; }

data="$root/tests/data/schemas"

case_for() {  # case_for NAME RUN-SQL WIDEN-SQL NEW-ARGS...
    local name=$1 run=$2 widen=$3
    shift 3
    if ! $run <"$data/sync_book.sql" >/dev/null 2>&1; then
        [ "${CI:-}" == "true" ] && check "$name-server" 0 1
        skipped=$((skipped + 1))
        return
    fi
    "$velmora" new "$name.vlp" "$@" >/dev/null 2>&1; check "$name-new" 0 $?
    "$velmora" set "$name.vlp" vm_sync_book.qty.FldCaption=Quantity vm_sync_book.title.FldCaption=Headline >/dev/null
    { cat "$data/sync_book_changes.sql"; echo "$widen"; } | $run >/dev/null; check "$name-alter" 0 $?

    local out log
    out=$("$velmora" sync "$name.vlp" --check 2>&1); check "$name-check-fails" 1 $?
    check "$name-check-lists" 1 "$(grep -c 'DELETED : (Field) vm_sync_book->legacy' <<<"$out")"
    out=$("$velmora" sync "$name.vlp" --rename vm_sync_book.qty=quantity 2>&1); check "$name-sync" 0 $?
    log=$(sed -n 's/.*; log: //p' <<<"$out")
    check "$name-log" "CHANGED : (Field) vm_sync_book->quantity - Rename qty to quantity" \
        "$(grep -a 'quantity' "$log" | tr -d '\r')"
    check "$name-log-crlf" 1 "$(head -1 "$log" | grep -c $'\r$')"
    check "$name-second-check" "0 differences" "$("$velmora" sync "$name.vlp" --check 2>&1)"
    check "$name-caption-kept" Quantity "$("$velmora" get "$name.vlp" vm_sync_book.quantity.FldCaption)"
    check "$name-title-caption-kept" Headline "$("$velmora" get "$name.vlp" vm_sync_book.title.FldCaption)"
    [ -n "$widen" ] && check "$name-widened" 200 "$("$velmora" get "$name.vlp" vm_sync_book.title.FldSize)"

    "$velmora" generate "$name.vlp" --dest "$name-app" --yes >/dev/null 2>&1; check "$name-generate" 0 $?
    local page port server
    serve "$name-app" /dev/null
    page=$(curl -s "http://127.0.0.1:$port/vm_sync_booklist.php" | sed 's/<[^>]*>/ /g' | tr -s ' \n' ' ')
    kill $server 2>/dev/null
    check "$name-page-new-column" 1 "$(grep -c 'Quantity Isbn' <<<"$page")"
    check "$name-page-dropped-column" 0 "$(grep -c 'Legacy' <<<"$page")"
}

case_for sqlite "sqlite3 lib.db" "" --db sqlite --file lib.db
case_for pg pg "ALTER TABLE vm_sync_book ALTER COLUMN title TYPE VARCHAR(200);" \
    --db postgresql "${login[@]}" --database velmora_scratch
case_for my my "ALTER TABLE vm_sync_book MODIFY title VARCHAR(200) NOT NULL;" \
    --db mysql "${login[@]}" --database velmora_scratch

check usage-rename 2 "$("$velmora" sync sqlite.vlp --rename nodot >/dev/null 2>&1; echo $?)"

echo "sync: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
