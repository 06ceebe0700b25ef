#!/usr/bin/env bash
# The default package against real PHP: the demo shop from SQLite (table and hard-coded security), PostgreSQL and
# MariaDB (velmora_demo) passes php -l and tests/app/http_app_test.py; Chinook's pages open without a PHP warning.
source "$(dirname "$0")/lib/common.sh" "$1"

generate() {  # generate PROJECT APP
    "$velmora" generate "$1" --dest "$2" --yes --overwrite all >"$scratch/gen.log" 2>&1 ||
        { local rc=$?; tail -5 "$scratch/gen.log"; return $rc; }
}

# The demo shop with security by its employees table.
mkdir -p "$scratch/demo"
sqlite3 "$scratch/demo/shop.db" < "$root/examples/demo/shop.sql"
cp "$root/examples/demo/shop.vlp" "$scratch/demo/shop.vlp"
generate "$scratch/demo/shop.vlp" "$scratch/demo-app"; check demo-generate 0 $?
check demo-lint 0 "$(lint "$scratch/demo-app")"
python3 "$root/tests/app/http_app_test.py" --app "$scratch/demo-app" --security table > "$scratch/http.log" 2>&1
rc=$?; check demo-http-table 0 $rc; [ $rc -eq 0 ] || tail -30 "$scratch/http.log"

# The same project with a hard-coded login: the password reaches the application only hashed.
project_script "$scratch/demo/shop.vlp" 'p.SecType = "Hardcoded"; p.SecLoginID = "admin"; p.SecPasswd = "admin";'
check hardcoded-project 0 $?
rm -rf "$scratch/demo-app"
generate "$scratch/demo/shop.vlp" "$scratch/demo-app"; check hardcoded-generate 0 $?
check hardcoded-no-plain-password 0 "$(grep -c "'password' => 'admin'" "$scratch/demo-app/config.php")"
python3 "$root/tests/app/http_app_test.py" --app "$scratch/demo-app" --security hardcoded > "$scratch/http.log" 2>&1
rc=$?; check demo-http-hardcoded 0 $rc; [ $rc -eq 0 ] || tail -30 "$scratch/http.log"

# The demo shop on the servers. The HTTP checks add and change rows, so velmora_demo is loaded
# again from the demo's SQL before the run, and after it for whoever comes next.
reload_pg() { pg -d velmora_demo -f "$root/examples/demo/shop_postgresql.sql" >/dev/null; }
reload_my() { my --default-character-set=utf8mb4 velmora_demo < "$root/examples/demo/shop_mysql.sql"; }
demo_server_case() {  # demo_server_case NAME RELOAD NEW-ARGS...
    local name=$1 reload=$2 rc
    shift 2
    new_project "$name" "$@" || return
    "$velmora" script "$root/examples/demo/customize.js" "$scratch/$name.vlp" >"$scratch/script.log" 2>&1
    rc=$?; check "$name-customize" 0 $rc; [ $rc -eq 0 ] || tail -5 "$scratch/script.log"
    generate "$scratch/$name.vlp" "$scratch/$name-app"; check "$name-generate" 0 $?
    check "$name-lint" 0 "$(lint "$scratch/$name-app")"
    $reload; check "$name-reload" 0 $?
    python3 "$root/tests/app/http_app_test.py" --app "$scratch/$name-app" --security table > "$scratch/http.log" 2>&1
    rc=$?; check "$name-http-table" 0 $rc; [ $rc -eq 0 ] || tail -30 "$scratch/http.log"
    $reload; check "$name-reload-after" 0 $?
}
demo_server_case demo-pg reload_pg --db postgresql "${login[@]}" --database velmora_demo
demo_server_case demo-my reload_my --db mysql "${login[@]}" --database velmora_demo

# The package's checks stop a project that could not give a working application.
validation_case() {  # validation_case NAME SCRIPT-BODY EXPECTED-MESSAGE
    cp "$scratch/demo/shop.vlp" "$scratch/invalid.vlp"
    rm -rf "$scratch/invalid-app"
    project_script "$scratch/invalid.vlp" "$2"
    "$velmora" generate "$scratch/invalid.vlp" --dest "$scratch/invalid-app" --yes >"$scratch/invalid.log" 2>&1
    check "$1-exit" 1 $?
    check "$1-message" 1 "$(grep -c -F "$3" "$scratch/invalid.log")"
    check "$1-no-pages" 0 "$(find "$scratch/invalid-app" -name '*list.php' 2>/dev/null | wc -l)"
}
validation_case security-table 'p.SecType = "Table"; p.SecTbl = "staff";' \
    "Security uses a user table, but the table 'staff' is not in the project."
validation_case lookup-target 'p.DB.Tables.Item("products").Fields.Item("category_id").FldTagLnkFld = "code";' \
    "The lookup of field 'products.category_id' names 'categories.code', which is not in the project."

# Custom server code of the project becomes a hook of the page it names, and the page runs it.
project_script "$scratch/demo/shop.vlp" "$(cat <<'JS'
p.SecType = "None"; p.MultiLanguage = true; p.LanguageFiles = "english.xml,italian.xml";
p.AddCustomScript("table", "server", "row_rendered", "list", "customers", "",
    "$row['city'] = strtoupper((string) $row['city']) . ' (hooked)';");
JS
)"; check hook-project 0 $?
# A second language from the user's language folder; English still comes from the package.
mkdir -p "$scratch/languages"
sed -e 's/id="en" desc="English"/id="it" desc="Italiano"/' -e 's/<phrase id="Home" value="Home"/<phrase id="Home" value="Inizio"/' \
    "$root/templates/default/languages/english.xml" > "$scratch/languages/italian.xml"
"$velmora" settings set General LanguageFolder "$scratch/languages" >/dev/null
rm -rf "$scratch/demo-app"
generate "$scratch/demo/shop.vlp" "$scratch/demo-app"; check hook-generate 0 $?
check hook-in-list-page 1 "$(grep -c 'function row_rendered(array &$row): void' "$scratch/demo-app/customerslist.php")"
check hook-not-in-view-page 0 "$(grep -c 'row_rendered' "$scratch/demo-app/customersview.php")"
check hook-lint 0 "$(lint "$scratch/demo-app")"
serve "$scratch/demo-app" /dev/null
fetch() { curl -sL -b "$scratch/cookies" -c "$scratch/cookies" "http://127.0.0.1:$port/$1"; }  # one session per jar
page=$(fetch customerslist.php)
fetch "index.php?lang=italian" >/dev/null
italian=$(fetch "customerslist.php")
rm -f "$scratch/cookies"
unknown=$(fetch "index.php?lang=../config")
kill $server 2>/dev/null; wait $server 2>/dev/null
check hook-runs 1 "$([ "$(echo "$page" | grep -c 'ROME (hooked)')" -gt 0 ] && echo 1)"
check languages-listed 1 "$(grep -c "'languages' => \['english', 'italian'\]" "$scratch/demo-app/config.php")"
check language-chosen 1 "$(echo "$italian" | grep -c '>Inizio</a>')"
check language-unknown-ignored 1 "$(echo "$unknown" | grep -c '>Home</a>')"
# Where the PDF library cannot be loaded (open_basedir hides /usr/share/php), the PDF export names
# the packages to install instead of failing.
missing=$(cd "$scratch/demo-app" && php -d open_basedir="$scratch/demo-app:/tmp" -d session.save_path=/tmp -r '
    $_SERVER["REQUEST_METHOD"] = "GET"; $_SERVER["SCRIPT_NAME"] = "/orderslist.php"; $_GET = ["export" => "pdf"];
    require "orderslist.php";' 2>&1)
check pdf-library-missing 1 "$(echo "$missing" | grep -c 'install the Debian package php-dompdf or the Composer package dompdf/dompdf')"

# Chinook from each database.
"$velmora" settings set Project DefaultLanguageFile english.xml >/dev/null
chinook_case() {  # chinook_case NAME NEW-ARGS...
    local name=$1
    shift
    new_project "$name" "$@" || return
    generate "$scratch/$name.vlp" "$scratch/$name-app"; check "$name-generate" 0 $?
    check "$name-lint" 0 "$(lint "$scratch/$name-app")"
    python3 "$root/tests/app/form_crawl_test.py" --app "$scratch/$name-app" --menu > "$scratch/smoke.log" 2>&1
    rc=$?; check "$name-pages" 0 $rc; [ $rc -eq 0 ] || tail -20 "$scratch/smoke.log"
}
sqlite3 "$scratch/chinook.db" <"$root/tests/fixtures/chinook/Chinook_Sqlite.sql"
chinook_case chinook-sqlite --db sqlite --file "$scratch/chinook.db"
chinook_case chinook-pg --db postgresql "${login[@]}" --database chinook
chinook_case chinook-my --db mysql "${login[@]}" --database chinook

echo "default_package: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
