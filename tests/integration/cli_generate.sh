#!/usr/bin/env bash
# velmora generate with the test package on the SQLite sample: check mode, hand edits and deleted pages, the
# overwrite policies, a dry run, a zipped package changed since it was unpacked, and a page that cannot be written.
source "$(dirname "$0")/lib/common.sh" "$1"
package="$root/tests/data/gen_package"

sqlite3 "$scratch/shop.db" < "$root/examples/sql/sample_sqlite.sql"
"$velmora" settings set Project DefaultLanguageFile english.xml >/dev/null
"$velmora" new "$scratch/shop.vlp" --db sqlite --file "$scratch/shop.db" >/dev/null 2>&1
app="$scratch/app"

out=$("$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" --check 2>/dev/null); check check-exit 0 $?
check check-count 1 "$(echo "$out" | grep -c '^[0-9]* pages$')"
check check-item 1 "$(echo "$out" | grep -c 'customerslist.php')"
check check-writes-nothing 1 "$([ -e "$app" ] && echo 0 || echo 1)"

"$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" >/dev/null 2>&1; check generate-exit 0 $?
for file in customerslist.php customersview.php index.php robots.txt css/site.css db/shop.db security/index.php lang/english.xml; do
    check "generated-$file" 1 "$([ -f "$app/$file" ] && echo 1 || echo 0)"
done
grep -q '<h1>Customers</h1>' "$app/customerslist.php"; check page-content 0 $?

echo "edited" > "$app/customerslist.php"
"$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" --overwrite skip >/dev/null 2>&1
check skip-keeps "edited" "$(cat "$app/customerslist.php")"

# The hand edit stays: the run knows what it wrote, and the template's output did not change.
out=$("$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" --dry-run 2>/dev/null); check dry-run-exit 0 $?
check dry-run-edited 1 "$(echo "$out" | grep -c '^unchanged  *customerslist.php (edited by hand)$')"
check dry-run-unchanged 1 "$(echo "$out" | grep -c '^unchanged  *customersview.php$')"
check dry-run-leaves "edited" "$(cat "$app/customerslist.php")"
"$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" --overwrite all >/dev/null 2>&1
check overwrite-all-keeps-edit "edited" "$(cat "$app/customerslist.php")"

# A deleted page comes back only when asked for.
rm "$app/customerslist.php"
out=$("$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" 2>/dev/null)
check deleted-stays-deleted 0 "$([ -e "$app/customerslist.php" ] && echo 1 || echo 0)"
check deleted-counted 1 "$(echo "$out" | grep -c ' 1 skipped in ')"
"$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" --restore-deleted >/dev/null 2>&1
grep -q '<h1>Customers</h1>' "$app/customerslist.php"; check restore-deleted 0 $?

# Without the run's record, existing files are the user's: --overwrite all replaces them.
rm -r "$app/.velmora"
echo "edited" > "$app/customerslist.php"
"$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$app" --overwrite all >/dev/null 2>&1
grep -q '<h1>Customers</h1>' "$app/customerslist.php"; check overwrite-all 0 $?

# A zipped package that changes after it was unpacked: "keep" generates from the unpacked copy,
# the default answer unpacks the new package.
zipped="$scratch/zipped"
cp -r "$package" "$zipped"
pack() { (cd "$zipped" && python3 -m zipfile -c "$scratch/shop.zip" *); }
pack
"$velmora" generate "$scratch/shop.vlp" --template "$scratch/shop.zip" --dest "$scratch/zapp" --overwrite all >/dev/null 2>&1
check zip-generate-exit 0 $?
printf '<!--##session body##-->\n<h1>Replaced</h1>\n<!--##/session##-->\n' > "$zipped/scripts/table/list.tpl"
pack
touch -d '+1 minute' "$scratch/shop.zip"
echo '{"template-changed": "keep"}' > "$scratch/keep.json"
"$velmora" generate "$scratch/shop.vlp" --template "$scratch/shop.zip" --dest "$scratch/zapp" --overwrite all \
    --answers "$scratch/keep.json" >/dev/null 2>&1; check keep-exit 0 $?
grep -q '<h1>Customers</h1>' "$scratch/zapp/customerslist.php"; check keep-uses-unpacked 0 $?
"$velmora" generate "$scratch/shop.vlp" --template "$scratch/shop.zip" --dest "$scratch/zapp" --overwrite all >/dev/null 2>&1
grep -q '<h1>Replaced</h1>' "$scratch/zapp/customerslist.php"; check overwrite-unpacks 0 $?

# A file that cannot be written ends the run with its whole path and the reason.
mkdir -p "$scratch/blocked" && echo "not a folder" > "$scratch/blocked/security"
err=$("$velmora" generate "$scratch/shop.vlp" --template "$package" --dest "$scratch/blocked" 2>&1 >/dev/null)
check blocked-exit 1 $?
check blocked-path 1 "$(echo "$err" | grep -c "Write file $scratch/blocked/security/index.php error")"
check blocked-reason 1 "$(echo "$err" | tail -n 1 | grep -c "Not a directory")"

err=$("$velmora" generate "$scratch/shop.vlp" --template "$scratch/missing.zip" --dest "$app" 2>&1 >/dev/null); check missing-template-exit 1 $?
check missing-template-message "Velmora: Template file not found! Generation aborted!" "$(echo "$err" | tail -n 1)"
"$velmora" generate "$scratch/shop.vlp" --overwrite sometimes >/dev/null 2>&1; check bad-overwrite-exit 2 $?
# A new project names no destination: its application goes beside it, named after it.
"$velmora" generate "$scratch/shop.vlp" --template "$package" >/dev/null 2>&1; check beside-exit 0 $?
check beside-project 1 "$([ -f "$scratch/shop-app/index.php" ] && echo 1 || echo 0)"

echo "cli_generate: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
