#!/usr/bin/env bash
# The command line: version, usage errors, settings round trips, defaults.
source "$(dirname "$0")/lib/common.sh" "$1"

check version "Velmora 12.0.0" "$("$velmora" --version)"
"$velmora" no-such-command >/dev/null 2>&1; check usage-exit 2 $?
"$velmora" settings set General ScriptEngineTimeout 30000 --type 4; check set-exit 0 $?
check get-number 30000 "$("$velmora" settings get General ScriptEngineTimeout)"
"$velmora" settings set General Bad abc --type 4 2>/dev/null; check bad-number-exit 1 $?
"$velmora" settings set General X y --type 6 2>/dev/null; check bad-type-exit 2 $?
"$velmora" settings set Project Lines 'a|b' --type 7
check multi-text "a|b" "$("$velmora" settings get project lines)"
"$velmora" settings get General Missing 2>/dev/null; check missing-exit 1 $?
"$velmora" settings --machine set General InstallPath /opt/velmora
check machine "/opt/velmora" "$("$velmora" settings get --machine General InstallPath)"
check list "General\\ScriptEngineTimeout (4) = 30000" "$("$velmora" settings list General)"
"$velmora" settings set Project CharSet utf-8
check defaults "utf-8" "$("$velmora" defaults --json | python3 -c 'import json,sys; print(json.load(sys.stdin)["CharSet"])')"

# A corrupt store is reported with its path and left as it was.
echo 'not json' > "$scratch/config/registry.json"
out=$("$velmora" settings set General A b 2>&1); rc=$?
check corrupt-exit 1 $rc
case "$out" in *"$scratch/config/registry.json"*) check corrupt-path ok ok ;; *) check corrupt-path "path in message" "$out" ;; esac
check corrupt-kept "not json" "$(cat "$scratch/config/registry.json")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
