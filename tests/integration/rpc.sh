#!/usr/bin/env bash
# velmora rpc driven by a small Python client over a whole session (tests/integration/rpc_client.py).
source "$(dirname "$0")/lib/common.sh" "$1"
sqlite3 "$scratch/shop.db" < "$root/examples/demo/shop.sql"
cp "$root/examples/demo/shop.vlp" "$scratch/shop.vlp"
mkdir -p "$scratch/app" && echo "mine" > "$scratch/app/index.php"
python3 "$root/tests/integration/rpc_client.py" "$velmora" "$scratch/shop.vlp" "$scratch/app" > "$scratch/rpc.log" 2>&1
rc=$?; check rpc-session 0 $rc; [ $rc -eq 0 ] || cat "$scratch/rpc.log"
check rpc-overwrite-answered 0 "$(grep -c '^mine$' "$scratch/app/index.php")"
echo "rpc: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
