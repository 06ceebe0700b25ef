#!/usr/bin/env bash
# One table on SQLite, PostgreSQL and MariaDB over HTTP: an uploaded image comes back byte for byte, the
# database's refusals name the field and the rule, decimals keep their column's scale, a number is quick-searched.
source "$(dirname "$0")/lib/common.sh" "$1"

settings=(vm_gadgets.qty.FldBasicSearch=True vm_gadgets.picture.FldList=True vm_gadgets.code.FldTagMaxLength=40)

http_checks() {  # http_checks KIND PORT: prints what failed, exits with their number
    PYTHONPATH="$root/tests/app" python3 - "$@" <<'PY'
import html, re, sys
import http_app_test as h
kind, h.BASE = sys.argv[1], f"http://127.0.0.1:{sys.argv[2]}/"
web = h.Client()
failures = []
check = lambda name, ok: ok or failures.append(f"FAIL {kind} {name}")

def get(path):
    r = web.get(path, follow=True)
    return r.headers, r.raw

def post(page, values, picture=None, extra=()):
    token = re.search(r'name="_csrf" value="([^"]+)"', get(page)[1].decode()).group(1)
    fields = [("_csrf", token)] + [(f"f[{k}]", v) for k, v in values.items()] + list(extra)
    return web.request(page, fields, follow=True, files={"vmfile[picture]": ("p.png" if picture else "", picture or b"")}).text

png = h.tiny_png(2, 2)
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
print(*failures, sep="\n")
sys.exit(len(failures))
PY
}

for dialect in sqlite pg my; do
    app_case $dialect velmora_gadgets gadgets_with_picture_and_rules settings http_checks
done

echo "binary_and_errors: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
