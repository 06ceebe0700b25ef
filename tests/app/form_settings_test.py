"""The forms of the application tests/integration/form_settings.sh generates, over HTTP.

    python3 form_settings_test.py PORT KIND APP

Prints what failed and exits with the number of failures.
"""
import datetime, html, http.cookiejar, json, os, re, struct, subprocess, sys, time, urllib.error, urllib.request, uuid, zlib

port, kind, app = sys.argv[1:4]
base = f"http://127.0.0.1:{port}/"
here = os.path.dirname(os.path.abspath(__file__))
failed = 0


class Stay(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args):
        return None   # a redirect comes back as it is, to read its Location


web = urllib.request.build_opener(Stay, urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))


def check(name, ok, detail=""):
    global failed
    if not ok:
        failed += 1
        print(f"FAIL {kind} {name} {detail}"[:400])


def fetch(path, body=None, headers=None):
    """(status, headers, text) of a request."""
    req = urllib.request.Request(base + path, body, headers or {})
    for _ in range(50):
        try:
            with web.open(req, timeout=10) as r:
                return r.status, r.headers, r.read().decode()
        except urllib.error.HTTPError as e:
            return e.code, e.headers, e.read().decode()
        except urllib.error.URLError:
            time.sleep(0.1)


def token(page):
    return re.search(r'name="_csrf" value="([^"]+)"', fetch(page)[2]).group(1)


def post(page, fields, files=(), form=None):
    """Posts a multipart form (fields: name => value or list) with the token of its page (or form)."""
    pairs = [("_csrf", token(form or page))]
    for k, v in fields.items():
        pairs += [(k, one) for one in v] if isinstance(v, list) else [(k, v)]
    boundary = uuid.uuid4().hex
    body = b"".join(f'--{boundary}\r\nContent-Disposition: form-data; name="{k}"\r\n\r\n{v}\r\n'.encode() for k, v in pairs)
    for name, filename, data in files:
        body += f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"; filename="{filename}"\r\n'.encode()
        body += b"Content-Type: application/octet-stream\r\n\r\n" + data + b"\r\n"
    body += f"--{boundary}--\r\n".encode()
    status, headers, text = fetch(page, body, {"Content-Type": f"multipart/form-data; boundary={boundary}"})
    return status, headers.get("Location", ""), html.unescape(text)


def sql(statement, *params):
    out = subprocess.run(["php", os.path.join(here, "sql.php"), app, statement, *params], capture_output=True, text=True)
    return json.loads(out.stdout)


def png(width, height):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    rows = b"".join(b"\x00" + b"\x20\x80\xc0" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def f(**values):
    return {f"f[{k}]" + ("[]" if isinstance(v, list) else ""): v for k, v in values.items()}


item = dict(code="AB1", qty="5", email="a@b.example", region_id="1", city_id="2", zip="", tags=["1", "2"])
photo = ("vmfile[photos][]", "p.png", png(100, 80))

# Each rule the project gave a field, broken once: the form comes back with the field's message.
refusals = [
    (dict(code="ab1"), [], "Two letters, then digits"),
    (dict(qty="11"), [], "Please enter a value between 1 and 10."),
    (dict(qty="x"), [], "Please enter a whole number."),
    (dict(email="nope"), [], "Please enter a valid e-mail address."),
    (dict(city_id="3"), [], "This value is not allowed."),   # Rome is not in the North
    (dict(tags=["1", "9"]), [], "This value is not allowed."),
    ({}, [photo] * 3, "Too many files were chosen."),
]
for change, files, said in refusals:
    status, _, text = post("itemadd.php", f(**{**item, **change}), files)
    check(f"refused {change or len(files)}", status == 200 and said in text, said)
check("nothing-saved", sql("SELECT count(*) AS n FROM item") == [{"n": "0"}])

status, location, _ = post("itemadd.php", f(**item), [photo, photo])
check("valid-add", status == 303 and location == "itemlist.php", f"{status} {location}")
row = (sql("SELECT code, tags, changed, photos FROM item") or [{}])[0]
today = datetime.datetime.now(datetime.timezone.utc).date().isoformat()
check("multiple-choices-stored", row.get("tags") == "1,2", row)
check("auto-update-date", str(row.get("changed", ""))[:10] == today, row)
names = (row.get("photos") or "").split(",")
sizes = [struct.unpack(">II", open(os.path.join(app, "uploads", n), "rb").read()[16:24]) for n in names if n]
check("two-photos-resized", sizes == [(40, 32)] * 2, sizes)
check("duplicate-refused", "Another record already has this value of Code." in post("itemadd.php", f(**item))[2])
edit = "itemedit.php?key[id]=" + sql("SELECT id FROM item")[0]["id"]
check("edit-keeps-own-value", post(edit, f(**{**item, "qty": "6"}))[0] == 303)

lookups = [  # query of the city lookup, status, labels or data
    ("?parent[region_id]=1", 200, ["Bergen", "Oslo"]),
    ("?parent[region_id]=2", 200, ["Rome"]),
    ("?parent[region_id]=1%27%20OR%20%271%27%3D%271", 200, []),
    ("?parent[region_id]=1%20OR%201%3D1", 200, []),
    ("?parent[name]=x", 400, None),
    ("?fill=2", 200, {"zip": "5003"}),
]
for query, want_status, want in lookups:
    status, _, body = fetch("item_city_idlookup.php" + query)
    data = json.loads(body) if status == 200 else None
    got = [o["label"] for o in data] if isinstance(data, list) else data
    check(f"lookup {query}", (status, got) == (want_status, want), f"{status} {got}")

status, _, body = post("item_tagslookup.php", {"label": "blue"}, form="itemadd.php")
added = json.loads(body) if status == 200 else {}
check("add-option", added.get("label") == "blue" and sql("SELECT id FROM tag WHERE name = 'blue'") == [{"id": added.get("value")}],
      f"{status} {body[:200]}")
check("add-option-needs-token", fetch("item_tagslookup.php", b"label=x", {"Content-Type": "application/x-www-form-urlencoded"})[0] == 400)

# Controls as the settings shape them, and the browser's checks.
controls = [
    ("itemadd.php", 'pattern="[A-Z]{2}[0-9]+" data-vm-message="Two letters, then digits"'),
    ("itemadd.php", 'data-vm-min="1" data-vm-max="10"'),
    ("itemadd.php", 'name="f[tags][]" multiple'),
    ("noteadd.php", 'name="f[title]" value="" required maxlength="40" size="20"'),
    ("noteadd.php", 'rows="6" class="vm-richtext"'),
    ("noteadd.php", '<input type="date" id="f_due"'),
    ("noteadd.php", 'name="f[code]" value="N1" maxlength="10" size="30" readonly'),
]
for page, snippet in controls:
    check(f"control {snippet}", snippet in fetch(page)[2])

# A note: two pages of fields, a confirm step, rich text, return pages.
form = fetch("noteadd.php")[2]
check("pages", form.count('<fieldset class="vm-page"') == 2 and 'src="js/form.js"' in form)
rich = '<p>Hi<script>alert(1)</script> <b onclick="x()">bold</b></p>'
note = f(title="Hello", body=rich, extra="on page two", due="2024-02-29", code="HACK")
status, _, text = post("noteadd.php", note)
check("confirm-page", status == 200 and "Please check the values" in text and 'name="_confirm"' in text)
check("confirm-saves-nothing-yet", sql("SELECT count(*) AS n FROM note") == [{"n": "0"}])
status, location, _ = post("noteadd.php", {**note, "_confirm": "1"})
check("confirmed-returns", status == 303 and location == "noteview.php?from=add", f"{status} {location}")
stored = (sql("SELECT id, body, extra, code FROM note") or [{}])[0]
body = stored.get("body") or ""
check("rich-text-cleaned", "<script" not in body and "onclick" not in body and "<b>bold</b>" in body, stored)
check("second-page-saved", stored.get("extra") == "on page two", stored)
check("read-only-keeps-default", stored.get("code") == "N1", stored)
view = fetch(f"noteview.php?key[id]={stored.get('id')}")[2]
check("view-in-pages", 'class="vm-page"' in view and "<b>bold</b>" in view and "<script>alert" not in view)
status, location, _ = post(f"noteedit.php?key[id]={stored.get('id')}", note)
check("no-external-return", status == 303 and location == "notelist.php", f"{status} {location}")
sys.exit(failed)
