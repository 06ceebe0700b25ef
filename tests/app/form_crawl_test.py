#!/usr/bin/env python3
"""Uses a generated application as a person would, under PHP's built-in server: opens every page
reachable from the index (no HTTP 500, no PHP warning, notice or error), then runs form steps on
one table's pages. Each step opens a form, keeps what it shows, fills what is required and empty,
applies NAME=VALUE changes and posts it; the post must be accepted (a redirect), not shown again.

  form_crawl_test.py --app DIR [--step add|copy|edit[:NAME=VALUE;...] --table T]...

A step's form is the table's add page, or the first row's copy or edit link on its list page.
"""
import argparse
import html
import re
import socket
import subprocess
import sys
import time
import urllib.error
import urllib.parse
import urllib.request
import uuid

PHP_PROBLEMS = re.compile(r"(Warning|Notice|Deprecated|Fatal error|Parse error|Uncaught)")
SKIPPED_LINKS = re.compile(r"(delete|export|logout|^https?:|^mailto:|^#|\.css|\.js|\.png|\.svg|\.ico)")


class NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args):
        return None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class App:
    def __init__(self, base):
        self.base = base
        jar = urllib.request.HTTPCookieProcessor()
        self.follow = urllib.request.build_opener(jar)
        self.stay = urllib.request.build_opener(jar, NoRedirect())

    def get(self, path):
        try:
            response = self.follow.open(self.base + path, timeout=30)
            return response.status, response.read().decode("utf-8", "replace")
        except urllib.error.HTTPError as error:
            return error.code, error.read().decode("utf-8", "replace")

    def post(self, path, fields):
        boundary = uuid.uuid4().hex
        body = b"".join(
            f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n{value}\r\n'.encode()
            for name, value in fields) + f"--{boundary}--\r\n".encode()
        request = urllib.request.Request(self.base + path, body,
                                         {"Content-Type": f"multipart/form-data; boundary={boundary}"})
        try:
            response = self.stay.open(request, timeout=30)
            return response.status, response.read().decode("utf-8", "replace")
        except urllib.error.HTTPError as error:
            return error.code, error.read().decode("utf-8", "replace")


def crawl(app, failures):
    seen, queue = set(), ["index.php"]
    while queue and len(seen) < 500:
        path = queue.pop()
        if path in seen:
            continue
        seen.add(path)
        status, body = app.get(path)
        if status >= 500:
            failures.append(f"{path}: HTTP {status}")
        for link in re.findall(r'href="([^"]+)"', body):
            link = html.unescape(link).lstrip("./")
            if link and not SKIPPED_LINKS.search(link):
                queue.append(link)
    return len(seen)


def attribute(tag, name):
    found = re.search(rf'\b{name}="([^"]*)"', tag)
    return html.unescape(found.group(1)) if found else None


# A value a form accepts for a required control left empty, by what the control says of itself.
def filler(tag):
    if attribute(tag, "inputmode") == "numeric":
        return "7"
    if attribute(tag, "inputmode") == "decimal":
        return "1.25"
    placeholder = attribute(tag, "placeholder") or ""
    if placeholder.startswith("YYYY-MM-DD HH"):
        return "2024-03-04 05:06:07"
    if placeholder.startswith("YYYY"):
        return "2024-03-04"
    return "x" + uuid.uuid4().hex[:4]


def form_fields(page):
    form = re.search(r"<form\b[^>]*method=\"post\"[^>]*>(.*?)</form>", page, re.S | re.I)
    if not form:
        return None
    fields = []
    controls = re.findall(r"(<input\b[^>]*>)|(<(select|textarea)\b[^>]*>)(.*?)</\3>", form.group(1), re.S)
    for single, opening, _, inner in controls:
        tag = single or opening
        name, kind = attribute(tag, "name"), (attribute(tag, "type") or "text").lower()
        unchecked = kind in ("checkbox", "radio") and "checked" not in tag
        if not name or kind in ("file", "submit", "button") or unchecked:
            continue
        if tag.startswith("<select"):
            options = re.findall(r'<option\b[^>]*value="([^"]*)"([^>]*)>', inner)
            chosen = [v for v, rest in options if "selected" in rest] or [v for v, _ in options if v]
            value = html.unescape(chosen[0]) if chosen else ""
        elif tag.startswith("<textarea"):
            value = html.unescape(inner or "")
        else:
            value = attribute(tag, "value") or ""
        if value == "" and " required" in tag:
            value = filler(tag)
        fields.append([name, value])
    return fields


def run_step(app, table, step, failures):
    kind, _, changes = step.partition(":")
    if kind == "add":
        path = f"{table}add.php"
    else:
        _, listing = app.get(f"{table}list.php")
        wanted = "copy=1" if kind == "copy" else f"{table}edit.php"
        links = [html.unescape(h) for h in re.findall(r'href="([^"]+)"', listing) if wanted in h]
        if not links:
            failures.append(f"{table} {kind}: no link on the list page")
            return
        path = links[0]
    status, page = app.get(path)
    fields = form_fields(page) if status == 200 else None
    if fields is None:
        failures.append(f"{path}: HTTP {status}, no form")
        return
    for change in filter(None, changes.split(";")):
        name, _, value = change.partition("=")
        fields = [f for f in fields if f[0] != f"f[{name}]"] + [[f"f[{name}]", value]]
    status, answer = app.post(path.split("?")[0] if kind == "add" else path, fields)
    if status not in (302, 303):
        shown = re.sub(r"<[^>]+>", " ", answer)
        failures.append(f"{table} {kind}: HTTP {status}: " + " ".join(shown.split())[:400])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--table")
    parser.add_argument("--step", action="append", default=[])
    args = parser.parse_args()
    port = free_port()
    server = subprocess.Popen(
        ["php", "-d", "error_reporting=E_ALL", "-d", "display_errors=stderr", "-S", f"127.0.0.1:{port}",
         "-t", args.app, args.app + "/router.php"],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    app = App(f"http://127.0.0.1:{port}/")
    failures = []
    try:
        for _ in range(100):
            try:
                urllib.request.urlopen(app.base + "index.php", timeout=2).read()
                break
            except OSError:
                time.sleep(0.1)
        pages = crawl(app, failures)
        for step in args.step:
            run_step(app, args.table, step, failures)
    finally:
        server.terminate()
        _, log = server.communicate(timeout=10)
    failures += [line for line in log.splitlines() if PHP_PROBLEMS.search(line)][:20]
    for failure in failures:
        print("FAIL", failure)
    print(f"{pages} pages, {len(args.step)} form steps, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
