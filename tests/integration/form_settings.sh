#!/usr/bin/env bash
# The add and edit forms as the project's form settings shape them, on SQLite, PostgreSQL and
# MariaDB: the fields' rules and duplicate check, cascading, multiple and growing lookups, values
# set by the server, rich text, forms in pages, the confirm step, return pages and uploads of
# several resized images (tests/app/form_settings_test.py). The servers' database is
# velmora_forms, made afresh; a server that cannot be reached skips, unless CI=true.
source "$(dirname "$0")/lib/common.sh" "$1"

schema() {  # schema ID-COLUMN
    cat <<SQL
DROP TABLE IF EXISTS item;
DROP TABLE IF EXISTS note;
DROP TABLE IF EXISTS city;
DROP TABLE IF EXISTS region;
DROP TABLE IF EXISTS tag;
CREATE TABLE region (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL);
CREATE TABLE city (id INTEGER PRIMARY KEY, region_id INTEGER NOT NULL, name VARCHAR(40) NOT NULL, zip VARCHAR(10));
CREATE TABLE tag (id $1, name VARCHAR(40) NOT NULL);
CREATE TABLE item (id $1, code VARCHAR(10) NOT NULL, qty INTEGER, email VARCHAR(80), region_id INTEGER,
    city_id INTEGER, zip VARCHAR(10), tags VARCHAR(100), changed DATE, photos VARCHAR(400));
CREATE TABLE note (id $1, title VARCHAR(40) NOT NULL, body TEXT, extra VARCHAR(40), due DATE, code VARCHAR(10) DEFAULT 'N1');
INSERT INTO region VALUES (1, 'North'), (2, 'South');
INSERT INTO city VALUES (1, 1, 'Oslo', '0150'), (2, 1, 'Bergen', '5003'), (3, 2, 'Rome', '00100');
INSERT INTO tag (name) VALUES ('red'), ('green');
SQL
}

settings=(
    ServerValidate=True ClientValidate=True
    item.code.FldValidate=REGEX "item.code.FldServerValidateArgs=[A-Z]{2}[0-9]+" "item.code.FldErrMsg=Two letters, then digits"
    item.code.FldCheckDuplicate=True
    item.qty.FldValidate=RANGE item.qty.FldMin=1 item.qty.FldMax=10 item.email.FldValidate=EMAIL
    item.region_id.FldTagLnkDistinct=True item.region_id.FldHtmlTag=SELECT item.region_id.FldTagLnkTbl=region item.region_id.FldTagLnkFld=id item.region_id.FldTagLnkDisplay=name
    item.city_id.FldHtmlTag=SELECT item.city_id.FldTagLnkTbl=city item.city_id.FldTagLnkFld=id item.city_id.FldTagLnkDisplay=name
    item.city_id.FldParentSelect=region_id item.city_id.FldSelectFilterFld=region_id item.city_id.FldParentSelectTbl=region
    item.city_id.FldAutoFill=True item.city_id.FldAutoFillSourceFields=zip item.city_id.FldAutoFillTargetFields=zip
    item.tags.FldHtmlTag=SELECT item.tags.FldTagLnkTbl=tag item.tags.FldTagLnkFld=id item.tags.FldTagLnkDisplay=name
    item.tags.FldSelectMultiple=True item.tags.FldSelectAllowAdd=True item.city_id.FldGenerate=True item.tags.FldGenerate=True
    item.changed.FldAutoUpdateValue=CurrentDate
    item.photos.FldHtmlTag=FILE item.photos.FldUploadMultiple=True item.photos.UploadMaxFileCount=2
    item.photos.FldUploadResize=True item.photos.FldResizeWidth=40 item.photos.FldResizeHeight=40
    note.TblMultiPageAdd=True note.TblMultiPageEdit=True note.TblMultiPageView=True note.extra.FldPageIndex=2
    note.TblAddConfirm=True note.TblAddReturnPage=noteview.php?from=add "note.TblEditReturnPage=https://evil.example/"
    note.body.FldHtmlTag=TEXTAREA note.body.FldUseDHTMLEditor=True note.body.FldTagRows=6 note.title.FldTagSize=20
    note.due.FldPopCalendar=True note.code.FldHtmlTagReadOnly=True
)

forms_case() {  # forms_case NAME LOAD-COMMAND ID-COLUMN NEW-ARGS...
    local name=$1 load=$2 id=$3 rc port server
    shift 3
    if ! schema "$id" | eval "$load" >"$scratch/load.log" 2>&1; then
        if [ "${CI:-}" != "true" ]; then skipped=$((skipped + 1)); return; fi
        check "$name-load" 0 1; cat "$scratch/load.log"; return
    fi
    "$velmora" new "$scratch/$name.vlp" --no-relations "$@" >/dev/null 2>&1; check "$name-new" 0 $?
    "$velmora" set "$scratch/$name.vlp" "${settings[@]}" >"$scratch/set.log" 2>&1; rc=$?
    check "$name-set" 0 $rc; [ $rc -eq 0 ] || cat "$scratch/set.log"
    "$velmora" generate "$scratch/$name.vlp" --dest "$scratch/$name-app" --yes --overwrite all >"$scratch/gen.log" 2>&1
    rc=$?; check "$name-generate" 0 $rc; [ $rc -eq 0 ] || tail -5 "$scratch/gen.log"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    php -S "127.0.0.1:$port" -t "$scratch/$name-app" "$scratch/$name-app/router.php" 2>"$scratch/$name-php.log" >/dev/null &
    server=$!
    python3 "$root/tests/app/form_settings_test.py" "$port" "$name" "$scratch/$name-app"; rc=$?
    kill $server; wait $server 2>/dev/null
    check "$name-http" 0 $rc; [ $rc -eq 0 ] || grep -a 'velmora\|PHP ' "$scratch/$name-php.log" | tail -5
    check "$name-no-php-warnings" 0 "$(grep -c 'PHP \(Warning\|Notice\|Deprecated\|Fatal\)' "$scratch/$name-php.log")"
}

db_server() {  # db_server pg|my: a fresh velmora_forms
    if [ "$1" = pg ]; then
        PGPASSWORD=velmora psql -X -q -h 127.0.0.1 -U velmora -d postgres \
            -c "DROP DATABASE IF EXISTS velmora_forms WITH (FORCE)" -c "CREATE DATABASE velmora_forms" >/dev/null 2>&1
    else
        MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -u velmora \
            -e "DROP DATABASE IF EXISTS velmora_forms; CREATE DATABASE velmora_forms CHARACTER SET utf8mb4" 2>/dev/null
    fi
}

server=(--host 127.0.0.1 --user velmora --password velmora --database velmora_forms)
forms_case sqlite "sqlite3 '$scratch/forms.db'" "INTEGER PRIMARY KEY AUTOINCREMENT" --db sqlite --file "$scratch/forms.db"
db_server pg
forms_case pgsql "PGPASSWORD=velmora psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U velmora -d velmora_forms" \
    "integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY" --db postgresql --port 5432 "${server[@]}"
db_server my
forms_case mysql "MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -P 3306 -u velmora velmora_forms" \
    "INT AUTO_INCREMENT PRIMARY KEY" --db mysql --port 3306 "${server[@]}"

echo "form_settings: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
