#!/usr/bin/env bash
# One table from SQLite, PostgreSQL and MariaDB through PHP's built-in server: an image uploaded
# into a binary column comes back byte for byte and shows as a thumbnail, refusals of the
# database name the field and the rule, a decimal is checked against its column's scale, and
# quick search matches a number column. A server that cannot be reached skips, unless CI=true.
source "$(dirname "$0")/lib/common.sh" "$1"

table() {  # table ID-COLUMN BLOB-TYPE
    cat <<SQL
DROP TABLE IF EXISTS vm_gadgets;
CREATE TABLE vm_gadgets (
    id $1,
    name VARCHAR(10) NOT NULL,
    code VARCHAR(10) UNIQUE,
    qty INTEGER,
    price NUMERIC(4,2),
    picture $2,
    CONSTRAINT qty_not_negative CHECK (qty >= 0)
);
SQL
}

http_checks() {  # http_checks PORT KIND: prints what failed, exits with their number
    python3 - "$@" <<'PY'
import html, http.cookiejar, re, struct, sys, time, urllib.request, uuid, zlib
base, kind = f"http://127.0.0.1:{sys.argv[1]}/", sys.argv[2]
web = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))
failed = 0

def check(name, ok):
    global failed
    if not ok:
        failed += 1
        print(f"FAIL {kind} {name}")

def get(path):
    for _ in range(50):
        try:
            with web.open(base + path, timeout=10) as r:
                return r.headers, r.read()
        except urllib.error.URLError as e:
            if isinstance(e, urllib.error.HTTPError):
                return e.headers, e.read()
            time.sleep(0.1)

def post(page, values, picture=None, extra=()):
    token = re.search(r'name="_csrf" value="([^"]+)"', get(page)[1].decode()).group(1)
    fields = [("_csrf", token)] + [(f"f[{k}]", v) for k, v in values.items()] + list(extra)
    boundary = uuid.uuid4().hex
    body = b"".join(f'--{boundary}\r\nContent-Disposition: form-data; name="{k}"\r\n\r\n{v}\r\n'.encode() for k, v in fields)
    body += f'--{boundary}\r\nContent-Disposition: form-data; name="vmfile[picture]"; filename="{"p.png" if picture else ""}"\r\n'.encode()
    body += b"Content-Type: application/octet-stream\r\n\r\n" + (picture or b"") + f"\r\n--{boundary}--\r\n".encode()
    req = urllib.request.Request(base + page, body, {"Content-Type": f"multipart/form-data; boundary={boundary}"})
    with web.open(req, timeout=10) as r:
        return html.unescape(r.read().decode())

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0)) \
    + chunk(b"IDAT", zlib.compress(b"\x00" + b"\xff\x00\x00" * 2 + b"\x00" + b"\x00\x00\xff" * 2)) + chunk(b"IEND", b"")
row = {"name": "Lamp", "code": "L1", "qty": "7", "price": "2.50"}
check("add", "The record was added." in post("vm_gadgetsadd.php", row, png))

def thumbnail():
    found = re.search(r'<img class="vm-thumb" src="([^"]+)"', get("vm_gadgetslist.php")[1].decode())
    return html.unescape(found.group(1)) if found else None

src = thumbnail()
check("thumbnail", src is not None and "download=picture" in src)
headers, data = get(src)
check("download-identical", data == png)
check("download-headers", (headers["Content-Type"], headers["X-Content-Type-Options"]) == ("image/png", "nosniff"))

refusals = [  # values, what the message says
    ({"qty": "-1"}, "breaks a rule of the database. Field: Qty. Rule: qty_not_negative."),
    ({"code": "L1"}, "another record already has this value. Field: Code."),
    ({"price": "2.555"}, "Price takes at most 2 decimal places."),
    ({"price": "123.4"}, "Price takes at most 2 digits before the decimal point."),
] + ([] if kind == "sqlite" else [({"code": "X" * 20}, "too long for its column. Field: Code.")])
for values, said in refusals:
    check(f"refused {values}", said in post("vm_gadgetsadd.php", {**row, "code": "L2", **values}))

check("search-number", "Lamp" in get("vm_gadgetslist.php?q=7")[1].decode())
check("search-other-number", "No records found." in get("vm_gadgetslist.php?q=7.5")[1].decode())

edit = html.unescape(re.search(r'href="(vm_gadgetsedit\.php\?[^"]+)"', get("vm_gadgetslist.php?cmd=reset")[1].decode()).group(1))
check("edit-keeps-content", "updated" in post(edit, row) and get(src)[1] == png)
check("edit-removes", "updated" in post(edit, row, extra=[("vmremove[picture]", "1")]) and thumbnail() is None)
sys.exit(failed)
PY
}

case_for() {  # case_for NAME LOAD-COMMAND ID-COLUMN BLOB-TYPE NEW-ARGS...
    local name=$1 load=$2 id=$3 blob=$4 rc port server
    shift 4
    if ! table "$id" "$blob" | eval "$load" >"$scratch/load.log" 2>&1; then
        if [ "${CI:-}" != "true" ]; then skipped=$((skipped + 1)); return; fi
        check "$name-load" 0 1; cat "$scratch/load.log"; return
    fi
    "$velmora" new "$scratch/$name.vlp" "$@" >/dev/null 2>&1; check "$name-new" 0 $?
    "$velmora" set "$scratch/$name.vlp" vm_gadgets.qty.FldBasicSearch=True vm_gadgets.picture.FldList=True \
        vm_gadgets.code.FldTagMaxLength=40 >/dev/null; check "$name-set" 0 $?
    "$velmora" generate "$scratch/$name.vlp" --dest "$scratch/$name-app" --yes --overwrite all >/dev/null 2>&1
    check "$name-generate" 0 $?
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    php -S "127.0.0.1:$port" -t "$scratch/$name-app" "$scratch/$name-app/router.php" 2>"$scratch/$name-php.log" >/dev/null &
    server=$!
    http_checks "$port" "$name"; rc=$?
    kill $server; wait $server 2>/dev/null
    check "$name-http" 0 $rc; [ $rc -eq 0 ] || grep -a 'velmora\|PHP ' "$scratch/$name-php.log" | tail -5
    check "$name-no-php-warnings" 0 "$(grep -c 'PHP \(Warning\|Notice\|Deprecated\|Fatal\)' "$scratch/$name-php.log")"
}

case_for sqlite "sqlite3 '$scratch/g.db'" "INTEGER PRIMARY KEY AUTOINCREMENT" BLOB --db sqlite --file "$scratch/g.db"
case_for pgsql "PGPASSWORD=velmora psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U velmora -d velmora_scratch" \
    "integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY" bytea \
    --db postgresql --host 127.0.0.1 --port 5432 --user velmora --password velmora --database velmora_scratch
case_for mysql "MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -P 3306 -u velmora velmora_scratch" \
    "INT AUTO_INCREMENT PRIMARY KEY" MEDIUMBLOB \
    --db mysql --host 127.0.0.1 --port 3306 --user velmora --password velmora --database velmora_scratch

echo "binary_and_errors: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
