#!/usr/bin/env bash
# The demo: runs the engine on the bundled sample with settings kept in a scratch folder, so the
# person running it keeps their own settings untouched.
set -euo pipefail
velmora=${1:-build/src/server/velmora}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export VELMORA_CONFIG_DIR="$scratch/config" VELMORA_MACHINE_CONFIG="$scratch/machine.json" VELMORA_USER_DIR="$scratch/data"

"$velmora" --version
echo
echo "== Preferences a user sets once"
"$velmora" settings set Project CharSet utf-8
"$velmora" settings set Project RecPerPage 25 --type 4
"$velmora" settings list Project
echo
echo "== A new project starts from those preferences"
"$velmora" defaults | grep -E '^(ProjID|ProjName|ProjVar|CharSet|RecPerPage|SecType|PagerStyle|AutoSync) '
echo
echo "== The bundled sample project"
"$velmora" show examples/sample.vlp 2>/dev/null
"$velmora" new "$scratch/new.vlp" --name "Sample Copy" >/dev/null && echo "A new project file was written: $(wc -c < "$scratch/new.vlp") bytes"
echo
echo "== A script drives root objects as a host would"
"$velmora" script examples/scripts/project.js examples/sample.vlp 2>/dev/null
echo
echo "== A project from a database: the sample shop schema in SQLite"
python3 - examples/sql/sample_sqlite.sql "$scratch/shop.db" <<'PY'
import sqlite3, sys
connection = sqlite3.connect(sys.argv[2])
connection.executescript(open(sys.argv[1], encoding="utf-8").read())
connection.close()
PY
"$velmora" new "$scratch/shop.vlp" --name Shop --db sqlite --file "$scratch/shop.db" 2>/dev/null
"$velmora" inspect "$scratch/shop.vlp" 2>/dev/null | sed -n '1,3p;/^customers/,/^$/p;/^order_items/,/^$/p'
