#!/usr/bin/env python3
"""Uses a generated application as a person would, under PHP's built-in server: opens every page
reachable from the index (no HTTP 500, no PHP warning, notice or error), or with --menu only the
menu's pages and the view page of each one's first row (each must answer 200 without asking for a
login), then runs form steps on one table's pages. Each step opens a form, keeps what it shows,
fills what is required and empty, applies NAME=VALUE changes and posts it; the post must be
accepted (a redirect), not shown again.

  form_crawl_test.py --app DIR [--menu] [--step add|copy|edit[:NAME=VALUE;...] --table T]...

A step's form is the table's add page, or the first row's copy or edit link on its list page.
"""
import argparse
import html
import json
import os
import re
import subprocess
import sys
import uuid

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import http_app_test as ht  # noqa: E402  the client and server of the demo's tests

PHP_PROBLEMS = re.compile(r"(Warning|Notice|Deprecated|Fatal error|Parse error|Uncaught)")
SKIPPED_LINKS = re.compile(r"(delete|export|logout|^https?:|^mailto:|^#|\.css|\.js|\.png|\.svg|\.ico)")


class App(ht.Client):
    def fetch(self, path):
        """(status, text) of a page, after its redirects."""
        r = self.get(path, follow=True)
        return r.status, r.body


def crawl(app, failures):
    seen, queue = set(), ["index.php"]
    while queue and len(seen) < 500:
        path = queue.pop()
        if path in seen:
            continue
        seen.add(path)
        status, body = app.fetch(path)
        if status >= 500:
            failures.append(f"{path}: HTTP {status}")
        for link in re.findall(r'href="([^"]+)"', body):
            link = html.unescape(link).lstrip("./")
            if link and not SKIPPED_LINKS.search(link):
                queue.append(link)
    return len(seen)


def menu_pages(app, folder, failures):
    config = json.loads(subprocess.check_output(["php", "-r", "echo json_encode(require $argv[1]);", folder + "/config.php"]))
    paths, opened = [item["url"] for item in config["menu"]], 0
    while paths:
        path = paths.pop(0)
        status, body = app.fetch(path)
        opened += 1
        if status != 200 or 'name="password"' in body:
            failures.append(f"{path}: HTTP {status}" + (", shows the login form" if status == 200 else ""))
        view = re.search(r'href="([A-Za-z0-9_]+view\.php\?[^"]+)"', body)
        if view and "view.php" not in path:
            paths.append(html.unescape(view.group(1)))
    return opened


# A value a form accepts for a required control left empty, by what the control says of itself.
def filler(attrs):
    if attrs.get("inputmode") == "numeric":
        return "7"
    if attrs.get("inputmode") == "decimal":
        return "1.25"
    placeholder = attrs.get("placeholder", "")
    if placeholder.startswith("YYYY-MM-DD HH"):
        return "2024-03-04 05:06:07"
    if placeholder.startswith("YYYY"):
        return "2024-03-04"
    return "x" + uuid.uuid4().hex[:4]


def form_fields(page):
    """The fields of the page's (last) post form as a browser sends them, required empty ones filled."""
    forms = [form for form in ht.parse_forms(page) if form["method"] == "post"]
    if not forms:
        return None
    form, fields = forms[-1], []
    for name, value in form["fields"]:
        if value == "" and name in form["options"]:   # a drop-down without a choice: its first real value
            value = next((v for v, _ in form["options"][name] if v), "")
        elif value == "" and "required" in form["attrs"].get(name, {}):
            value = filler(form["attrs"][name])
        fields.append([name, value])
    return fields


def run_step(app, table, step, failures):
    kind, _, changes = step.partition(":")
    if kind == "add":
        path = f"{table}add.php"
    else:
        _, listing = app.fetch(f"{table}list.php")
        wanted = "copy=1" if kind == "copy" else f"{table}edit.php"
        links = [html.unescape(h) for h in re.findall(r'href="([^"]+)"', listing) if wanted in h]
        if not links:
            failures.append(f"{table} {kind}: no link on the list page")
            return
        path = links[0]
    status, page = app.fetch(path)
    fields = form_fields(page) if status == 200 else None
    if fields is None:
        failures.append(f"{path}: HTTP {status}, no form")
        return
    for change in filter(None, changes.split(";")):
        name, _, value = change.partition("=")
        fields = [f for f in fields if f[0] != f"f[{name}]"] + [[f"f[{name}]", value]]
    # multipart, as a browser sends a form with a file control
    r = app.request(path.split("?")[0] if kind == "add" else path, fields, files=[])
    if r.status not in (302, 303):
        shown = re.sub(r"<[^>]+>", " ", r.body)
        failures.append(f"{table} {kind}: HTTP {r.status}: " + " ".join(shown.split())[:400])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--menu", action="store_true")
    parser.add_argument("--table")
    parser.add_argument("--step", action="append", default=[])
    args = parser.parse_args()
    ht.start_server(args.app)
    app, failures = App(), []
    try:
        pages = menu_pages(app, args.app, failures) if args.menu else crawl(app, failures)
        for step in args.step:
            run_step(app, args.table, step, failures)
    finally:
        ht.stop_server()
    with open(ht.LOG_PATH, errors="replace") as log:
        failures += [line.rstrip() for line in log if PHP_PROBLEMS.search(line)][:20]
    for failure in failures:
        print("FAIL", failure)
    print(f"{pages} pages, {len(args.step)} form steps, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
