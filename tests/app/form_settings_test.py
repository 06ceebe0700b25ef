"""The forms of the application tests/integration/form_settings.sh generates, over HTTP.

    python3 form_settings_test.py PORT KIND APP

Prints what failed and exits with the number of failures.
"""
import argparse, datetime, json, os, re, struct, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import http_app_test as h  # noqa: E402  the client and database helper of the demo's tests

port, kind, app = sys.argv[1:4]
h.BASE, h.ARGS = f"http://127.0.0.1:{port}/", argparse.Namespace(app=app)
web = h.Client()   # a redirect comes back as it is, to read its Location
sql = h.sql
failed = 0


def check(name, ok, detail=""):
    global failed
    if not ok:
        failed += 1
        print(f"FAIL {kind} {name} {detail}"[:400])


def fetch(path):
    """(status, headers, text) of a page."""
    r = web.get(path)
    return r.status, r.headers, r.body


def post(page, fields, files=(), form=None):
    """Posts a multipart form (fields: name => value or list) with the token of its page (or form)."""
    token = re.search(r'name="_csrf" value="([^"]+)"', fetch(form or page)[2]).group(1)
    pairs = [("_csrf", token)] + [(k, one) for k, v in fields.items() for one in (v if isinstance(v, list) else [v])]
    r = web.request(page, pairs, files=[(name, (filename, data)) for name, filename, data in files])
    return r.status, r.header("Location"), r.text


def f(**values):
    return {f"f[{k}]" + ("[]" if isinstance(v, list) else ""): v for k, v in values.items()}


item = dict(code="AB1", qty="5", email="a@b.example", region_id="1", city_id="2", zip="", tags=["1", "2"])
photo = ("vmfile[photos][]", "p.png", h.tiny_png(100, 80))

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
check("add-option-needs-token", web.post("item_tagslookup.php", {"label": "x"}).status == 400)

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
