#!/usr/bin/env bash
# Regenerating the demo shop: an unchanged run writes nothing, a caption rewrites only the files showing it, hand
# edits are merged or, in conflict, kept, replaced or marked as the user answers; a script follows the same rules.
source "$(dirname "$0")/lib/common.sh" "$1"

app="$scratch/app"
generate() {  # generate [ARGS...]: the run's summary as JSON in $scratch/run.json
    "$velmora" generate "$scratch/shop.vlp" --dest "$app" --json "$@" >"$scratch/run.json" 2>"$scratch/run.err" </dev/null
}
summary() {  # summary FIELD: a count, or the paths of the files with that outcome
    python3 -c 'import json, sys
run, field = json.load(open(sys.argv[1])), sys.argv[2]
print(run[field] if field in run else " ".join(sorted(f["path"] for f in run["files"] if f["outcome"] == field)))' \
        "$scratch/run.json" "$1"
}
caption() { project_script "$scratch/shop.vlp" "p.DB.Tables.Item(\"$1\").TblCaption = \"$2\";"; }  # caption TABLE TEXT
stamps() { find "$app" -type f -not -path '*/.velmora/*' -printf '%P %T@\n' | sort; }

sqlite3 "$scratch/shop.db" < "$root/examples/demo/shop.sql"
cp "$root/examples/demo/shop.vlp" "$scratch/shop.vlp"
sed -i "s|shop.db|$scratch/shop.db|" "$scratch/shop.vlp"

# A first run into a folder that already holds files of the user's.
mkdir -p "$app" && echo "mine" > "$app/notes.txt" && echo "<?php // mine" > "$app/index.php"
generate; check first-exit 0 $?
check first-keeps-unrelated "mine" "$(cat "$app/notes.txt")"
check first-asks-for-existing "index.php" "$(summary skip)"
check first-keeps-existing "<?php // mine" "$(cat "$app/index.php")"
rm "$app/index.php"
generate --restore-deleted; check first-index-created "index.php" "$(summary create)"
total=$(summary unchanged)

# Nothing changed: nothing written, no timestamp moves.
before=$(stamps)
generate; check unchanged-exit 0 $?
check unchanged-written 0 "$(( $(summary created) + $(summary updated) + $(summary merged) ))"
check unchanged-count "$((total + 1))" "$(summary unchanged)"
check unchanged-stamps "$before" "$(stamps)"
check unchanged-no-backup 0 "$(find "$app" -name '*.bak' | wc -l)"

# One caption changed: that table's description, the description of its master table (which
# names its details) and the configuration that lists it.
caption products Goods; check caption-script 0 $?
before=$(stamps)
generate; check caption-exit 0 $?
dependent='^(tables/products.php|tables/categories.php|security/.*\.xml) '
check caption-updated "$(echo "$before" | grep -cE "$dependent")" "$(summary update | wc -w)"
check caption-shown "tables/categories.php tables/products.php" "$(grep -l "'Goods'" "$app"/tables/*.php | sed "s|$app/||" | xargs)"
check caption-others-untouched "$(echo "$before" | grep -vE "$dependent")" "$(stamps | grep -vE "$dependent")"

# A hand edit where the template changes nothing is merged with the template's change.
table="$app/tables/products.php"
sed -i 's|^<?php$|<?php\n// Tuned by hand: products are listed twenty at a time.|' "$table"
caption products Products
generate; check merge-exit 0 $?
check merge-reported "tables/products.php" "$(summary merge)"
check merge-keeps-edit 1 "$(grep -c 'Tuned by hand' "$table")"
check merge-applies-template 1 "$(grep -c "'caption' => 'Products'" "$table")"
python3 "$root/tests/app/http_app_test.py" --app "$app" --security table >"$scratch/http.log" 2>&1
rc=$?; check merged-app-http 0 $rc; [ $rc -eq 0 ] || tail -30 "$scratch/http.log"

# The user and the template change the same line.
conflict() {  # conflict ANSWER: a hand-made caption against a new one
    sed -i "s|^    'caption' => '[^']*',|    'caption' => 'My goods',|" "$table"
    caption products "Goods $1"
    if [ "$1" == default ]; then generate; else echo "{\"merge-conflict\": \"$1\"}" >"$scratch/answers.json"; generate --answers "$scratch/answers.json"; fi
}
conflict default; check conflict-exit 0 $?
check conflict-listed "tables/products.php" "$(summary conflict)"
check conflict-keeps-mine 1 "$(grep -c "'My goods'" "$table")"
check conflict-new-beside 1 "$(grep -c "'Goods default'" "$table.new")"
generate; check conflict-open-until-answered "tables/products.php" "$(summary conflict)"
conflict new
check take-new 1 "$(grep -c "'Goods new'" "$table")"
check take-new-is-whole 0 "$(grep -c 'Tuned by hand' "$table")"
conflict keep
check keep-mine 1 "$(grep -c "'My goods'" "$table")"
generate; check keep-settles "" "$(summary conflict)"
conflict markers
check markers 1 "$(grep -c '^<<<<<<< yours' "$table")"

# A host script generates with the same rules: nothing to write after the runs above.
cat > "$scratch/generate.js" <<'JS'
var p = new AGP();
if (!p.Load(scriptArgs[0], false)) throw new Error(p.ProjErr);
p.Destination = scriptArgs[1];
if (p.GenCheck() == 0) throw new Error(p.ProjErr);
p.GenScript();
if (p.ProjErr != "") throw new Error(p.ProjErr);
var run = JSON.parse(p.GenSummary());
print(run.created + run.updated + run.merged, run.conflicts, run.unchanged > 0);
JS
check script-generates "0 0 True" "$("$velmora" script "$scratch/generate.js" "$scratch/shop.vlp" "$app" 2>/dev/null </dev/null)"

echo "regenerate: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
