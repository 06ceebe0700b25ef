#!/usr/bin/env bash
# Schemas as people write them (tests/data/real_schemas) on SQLite, PostgreSQL and MariaDB: `new` and `generate`
# alone give pages that open, foreign keys as lookups, and add, copy and edit forms that save every kind of column.
source "$(dirname "$0")/lib/common.sh" "$1"
data="$root/tests/data/real_schemas"
sql() { php "$root/tests/app/sql.php" "$scratch/$1-app" "$2"; }

load_sqlite() { sqlite3 "$scratch/real.db" < "$data/sqlite.sql"; }
load_pg() { fresh_db pg velmora_real && pg -d velmora_real -f "$data/postgresql.sql" >/dev/null; }
load_my() { fresh_db my velmora_real && my velmora_real < "$data/mysql.sql"; }
server=("${login[@]}" --database velmora_real)

# Every kind of column a form offers, as each dialect's member table has them.
declare -A edits=(
    [sqlite]="full_name=Grace Hopper;rate=3.75;code=GMH"
    [pg]="full_name=Grace Hopper;rate=3.75;code=GMH;state=on leave;skills={cobol,\"flow matic\"};scores={1,2,3};desk=9"
    [my]="full_name=Grace Hopper;rate=3.75;code=GMH;state=on leave"
)

real_case() {  # real_case NAME LOAD NEW-ARGS...
    local name=$1 load=$2 rc
    shift 2
    $load >"$scratch/load.log" 2>&1 || { unreachable "$name" "$scratch/load.log"; return; }
    "$velmora" new "$scratch/$name.vlp" "$@" >/dev/null 2>"$scratch/err"; check "$name-new" 0 $?
    "$velmora" generate "$scratch/$name.vlp" --dest "$scratch/$name-app" >"$scratch/gen.log" 2>&1
    rc=$?; check "$name-generate" 0 $rc; [ $rc -eq 0 ] || { tail -5 "$scratch/gen.log"; return; }
    # A foreign key of one column is a lookup showing the target's name.
    check "$name-lookup" "team|team_id|name" "$("$velmora" get "$scratch/$name.vlp" member.team_id.FldTagLnkTbl)|$("$velmora" get "$scratch/$name.vlp" member.team_id.FldTagLnkFld)|$("$velmora" get "$scratch/$name.vlp" member.team_id.FldTagLnkDisplay)"
    [ "$name" = pg ] && sql "$name" "UPDATE member SET created = '2001-01-01'" >/dev/null
    [ "$name" = my ] && sql "$name" "UPDATE member SET last_update = '2001-01-01'" >/dev/null
    python3 "$root/tests/app/form_crawl_test.py" --app "$scratch/$name-app" --table member \
        --step add --step copy --step "edit:${edits[$name]}" >"$scratch/crawl.log" 2>&1
    rc=$?; check "$name-pages-and-forms" 0 $rc; [ $rc -eq 0 ] || tail -20 "$scratch/crawl.log"
    check "$name-rows" 3 "$(sql "$name" "SELECT count(*) AS n FROM member" | php -r 'echo json_decode(stream_get_contents(STDIN))[0]->n;')"
    check "$name-edited" 1 "$(sql "$name" "SELECT count(*) AS n FROM member WHERE full_name = 'Grace Hopper' AND rate = 3.75" | grep -c '"n":"1"')"
    case $name in
        pg)
            check pg-copy-keeps-arrays-and-enum 1 "$(sql pg "SELECT count(*) AS n FROM member WHERE skills = '{c,lisp}' AND state = 'busy'" | grep -o '"n":"[0-9]*"' | tr -dc 0-9)"
            check pg-edit-arrays "{cobol,\"flow matic\"}|{1,2,3}|on leave" "$(sql pg "SELECT skills::text || '|' || scores::text || '|' || state AS v FROM member WHERE full_name = 'Grace Hopper'" | php -r 'echo json_decode(stream_get_contents(STDIN))[0]->v;')"
            check pg-add-leaves-defaults-to-the-database 1 "$(sql pg "SELECT count(*) AS n FROM member WHERE full_name LIKE 'x%' AND joined = current_date AND created > now() - interval '1 hour'" | grep -c '"n":"1"')" ;;
        my)
            check my-edit-updates-timestamp 1 "$(sql my "SELECT count(*) AS n FROM member WHERE full_name = 'Grace Hopper' AND last_update > '2001-01-02'" | grep -c '"n":"1"')"
            check my-copy-keeps-set 2 "$(sql my "SELECT count(*) AS n FROM member WHERE skills = 'c,lisp'" | grep -o '"n":"[0-9]*"' | tr -dc 0-9)" ;;
    esac
}

real_case sqlite load_sqlite --db sqlite --file "$scratch/real.db"
real_case pg load_pg --db postgresql "${server[@]}"
real_case my load_my --db mysql "${server[@]}"

echo "real_schemas: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
