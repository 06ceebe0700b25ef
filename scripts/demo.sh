#!/usr/bin/env bash
# The demo: generates the bundled shop application with the default template package.
#   build/demo/shop.db      the SQLite database, made from examples/demo/shop.sql
#   build/demo/shop.vlp     the project (a copy of examples/demo/shop.vlp)
#   build/demo-app/         the generated PHP application
# Settings and the generation cache live in build/demo/home, so the user's own stay untouched.
set -euo pipefail
velmora=${1:-build/src/server/velmora}
build=$(dirname "$(dirname "$(dirname "$velmora")")")
demo="$(realpath -m "$build/demo")"
app="$(realpath -m "$build/demo-app")"
export VELMORA_CONFIG_DIR="$demo/home/config" VELMORA_MACHINE_CONFIG="$demo/home/machine.json" \
       VELMORA_USER_DIR="$demo/home/data"

"$velmora" --version
mkdir -p "$demo"
rm -f "$demo/shop.db"
sqlite3 "$demo/shop.db" < examples/demo/shop.sql
cp examples/demo/shop.vlp "$demo/shop.vlp"
echo "Database: $demo/shop.db ($(sqlite3 "$demo/shop.db" 'SELECT count(*) FROM orders') orders)"
echo
"$velmora" generate "$demo/shop.vlp" --dest "$app" --yes --overwrite all
echo
lint_failures=0
while IFS= read -r -d '' page; do
  php -l "$page" >/dev/null 2>&1 || { echo "php -l failed: $page"; lint_failures=1; }
done < <(find "$app" -name '*.php' -print0)
[ "$lint_failures" -eq 0 ] || exit 1
echo "$(find "$app" -name '*.php' | wc -l) PHP files in $app, all pass php -l."
echo
echo "Run it:   $velmora serve $app"
echo "Open:     http://127.0.0.1:8080/  and log in as laura with the password demo"
