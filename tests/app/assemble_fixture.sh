#!/usr/bin/env bash
# Assembles the demo shop application from tests/data/app_fixture and the default template
# package's runtime, with a fresh SQLite database made from examples/demo/shop.sql.
#   assemble_fixture.sh OUTDIR [none|table|hardcoded]
set -euo pipefail

out=${1:?usage: assemble_fixture.sh OUTDIR [none|table|hardcoded]}
security=${2:-none}
root=$(cd "$(dirname "$0")/../.." && pwd)
pkg=$root/templates/default

case $security in
    none) line="'security' => ['type' => 'none', 'login' => '', 'password_hash' => '', 'table' => '', 'login_field' => '', 'password_field' => '']," ;;
    table) line="'security' => ['type' => 'table', 'login' => '', 'password_hash' => '', 'table' => 'employees', 'login_field' => 'login', 'password_field' => 'password']," ;;
    hardcoded) line="'security' => ['type' => 'hardcoded', 'login' => 'admin', 'password_hash' => '\$2y\$10\$Ho88WsXZjdgs3CcpgAlFLec1uiyP7yziHfQugpMukRiaU8PRkf0Hm', 'table' => '', 'login_field' => '', 'password_field' => '']," ;;
    *) echo "unknown security type: $security" >&2; exit 2 ;;
esac

rm -rf "$out"
mkdir -p "$out"
cp -R "$root/tests/data/app_fixture/." "$out/"
cp -R "$pkg/assets/." "$out/"
mkdir -p "$out/lang" "$out/db"
cp "$pkg/languages/english.xml" "$out/lang/english.xml"
sqlite3 "$out/db/shop.db" < "$root/examples/demo/shop.sql"

# the security line of config.php is one line: swap it for the wanted one
SECURITY_LINE="    $line" python3 - "$out/config.php" <<'PY'
import os, re, sys
path = sys.argv[1]
text = open(path, encoding='utf-8').read()
text, n = re.subn(r"^\s*'security' => \[.*\],$", lambda m: os.environ['SECURITY_LINE'], text, count=1, flags=re.M)
if n != 1:
    sys.exit('config.php: security line not found')
open(path, 'w', encoding='utf-8').write(text)
PY
echo "assembled $out (security: $security)"
