#!/usr/bin/env bash
# The demo shop in a real browser: the demo project is generated into a scratch folder, served by
# PHP's built-in server and driven by headless Chromium (Debian's chromium through playwright-core);
# so are an accounts application for registration and permissions (security_app.test.mjs) and a
# small places application for the list and form settings (list_forms.test.mjs).
# Screenshots of the orders list go to $VELMORA_ARTEFACTS (default: build/artefacts).
# Exit codes: 0 passed, 1 failed, 77 skipped (chromium, node or npm missing, outside CI).
set -u
velmora=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
chromium=${VELMORA_CHROMIUM:-/usr/bin/chromium}
fail() { echo "e2e: $1" >&2; [ -f "${scratch:-}/gen.log" ] && tail -5 "$scratch/gen.log" >&2; exit 1; }

missing=()
[ -x "$chromium" ] || missing+=("chromium ($chromium)")
for tool in node npm php sqlite3; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    [ "${CI:-}" == "true" ] && fail "missing ${missing[*]}"
    echo "e2e: skipped, missing ${missing[*]} (scripts/install-deps.sh installs them)"
    exit 77
fi

# npm ci leaves node_modules/.package-lock.json behind: a lock newer than that means new modules.
if [ ! -f "$here/node_modules/.package-lock.json" ] || [ "$here/package-lock.json" -nt "$here/node_modules/.package-lock.json" ]; then
    (cd "$here" && npm ci --no-audit --no-fund) || fail "npm ci failed"
fi

artefacts=${VELMORA_ARTEFACTS:-$root/build/artefacts}
mkdir -p "$artefacts" || exit 1
artefacts=$(cd "$artefacts" && pwd)

scratch=$(mktemp -d)
pids=()
cleanup() {
    [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null && wait "${pids[@]}" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
export VELMORA_CONFIG_DIR="$scratch/config" VELMORA_MACHINE_CONFIG="$scratch/machine.json" VELMORA_USER_DIR="$scratch/data"
free_port() { node -e 'const s = require("net").createServer(); s.listen(0, "127.0.0.1", () => { console.log(s.address().port); s.close(); });'; }
serve() {  # serve APP PORT: php -S in the background, polled until it accepts connections
    php -S "127.0.0.1:$2" -t "$1" "$1/router.php" >>"$scratch/server.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do
        kill -0 "${pids[-1]}" 2>/dev/null || { cat "$scratch/server.log" >&2; fail "php -S exited"; }
        (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null && return
        sleep 0.1
    done
}

# The demo shop, with charts on the orders list drawn by the application as SVG.
mkdir -p "$scratch/demo"
sqlite3 "$scratch/demo/shop.db" < "$root/examples/demo/shop.sql" || exit 1
cp "$root/examples/demo/shop.vlp" "$scratch/demo/shop.vlp"
"$velmora" add-chart "$scratch/demo/shop.vlp" orders "Orders by status" --x status --summary COUNT \
    --trend "100=Target" >/dev/null &&
    "$velmora" add-chart "$scratch/demo/shop.vlp" orders "Share by status" --x status --summary COUNT --type pie \
        >/dev/null || fail "adding the charts failed"
"$velmora" generate "$scratch/demo/shop.vlp" --dest "$scratch/app" --yes --overwrite all >"$scratch/gen.log" 2>&1 ||
    fail "generating the demo failed"
port=$(free_port)
serve "$scratch/app" "$port"

# The accounts and levels application (SQLite, dynamic levels) with a sink for its mail.
sport=$(free_port)
mport=$(free_port)
hash=$(php -r 'echo password_hash("secret123", PASSWORD_BCRYPT);')
sed -e "s/@ID@/INTEGER PRIMARY KEY AUTOINCREMENT/" -e "s|@PW@|$hash|" "$root/tests/app/security_schema.sql" | sqlite3 "$scratch/sec.db" &&
    "$velmora" new "$scratch/sec.vlp" --db sqlite --file "$scratch/sec.db" >/dev/null 2>&1 &&
    "$velmora" script "$root/tests/app/security_setup.js" "$scratch/sec.vlp" dynamic "$mport" >/dev/null 2>&1 &&
    "$velmora" generate "$scratch/sec.vlp" --dest "$scratch/sec-app" --yes --overwrite all >"$scratch/gen.log" 2>&1 ||
    fail "generating the security application failed"
/usr/bin/python3 "$root/tests/app/smtp_sink.py" "$mport" "$scratch/mail" >/dev/null 2>&1 &
pids+=($!)
serve "$scratch/sec-app" "$sport"
for _ in $(seq 1 100); do (exec 3<>"/dev/tcp/127.0.0.1/$mport") 2>/dev/null && break; sleep 0.1; done

# Places (SQLite) for the list and form settings: advanced search, inline edit, a city list
# following its region, an add form in two pages.
fport=$(free_port)
mapfile -t places_settings <"$root/tests/data/settings/browser_places.txt"
sqlite3 "$scratch/places.db" <"$root/tests/data/schemas/places_regions_and_cities.sql" &&
    "$velmora" new "$scratch/places.vlp" --no-relations --db sqlite --file "$scratch/places.db" >/dev/null 2>&1 &&
    "$velmora" set "$scratch/places.vlp" "${places_settings[@]}" >/dev/null &&
    "$velmora" generate "$scratch/places.vlp" --dest "$scratch/places-app" --yes --overwrite all >"$scratch/gen.log" 2>&1 ||
    fail "generating the places application failed"
serve "$scratch/places-app" "$fport"

VELMORA_E2E_URL="http://127.0.0.1:$port/" VELMORA_E2E_FORMS_URL="http://127.0.0.1:$fport/" \
    VELMORA_E2E_SECURITY_URL="http://127.0.0.1:$sport/" VELMORA_E2E_MAIL="$scratch/mail" VELMORA_CHROMIUM="$chromium" \
    VELMORA_ARTEFACTS="$artefacts" \
    node --test "$here/demo_app.test.mjs" "$here/security_app.test.mjs" "$here/list_forms.test.mjs"
rc=$?

# PHP's warnings and the runtime's logged errors land in the server's log, not in the pages.
if grep -E 'PHP (Warning|Notice|Deprecated|Fatal error|Parse error)|velmora error:|\[5[0-9][0-9]\]:' "$scratch/server.log" >&2; then
    echo "e2e: the server logged the errors above" >&2
    rc=1
fi
[ $rc -eq 0 ] && echo "e2e: screenshots in $artefacts"
exit $rc
