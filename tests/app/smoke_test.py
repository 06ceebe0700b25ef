#!/usr/bin/env python3
"""Opens every list page of a generated application, and the view page of each list's first row,
under PHP's built-in server: each must answer 200 with no PHP warning, notice or error.

  smoke_test.py --app DIR [--login NAME --password TEXT]
"""
import argparse
import http.cookiejar
import json
import re
import socket
import subprocess
import sys
import time
import urllib.parse
import urllib.request

PHP_PROBLEMS = re.compile(r"(Warning|Notice|Deprecated|Fatal error|Parse error|Uncaught)")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--login")
    parser.add_argument("--password")
    args = parser.parse_args()

    config = json.loads(subprocess.check_output(
        ["php", "-r", "echo json_encode(require $argv[1]);", args.app + "/config.php"]))
    port = free_port()
    server = subprocess.Popen(
        ["php", "-d", "error_reporting=E_ALL", "-d", "display_errors=stderr", "-S", f"127.0.0.1:{port}",
         "-t", args.app, args.app + "/router.php"],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    base = f"http://127.0.0.1:{port}/"
    opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))
    failures = []
    try:
        for _ in range(100):
            try:
                opener.open(base + "index.php", timeout=2).read()
                break
            except OSError:
                time.sleep(0.1)
        if args.login:
            page = opener.open(base + "login.php").read().decode()
            data = {}
            for tag in re.findall(r"<input\b[^>]*>", page):
                name = re.search(r'name="([^"]+)"', tag)
                kind = re.search(r'type="([^"]+)"', tag)
                value = re.search(r'value="([^"]*)"', tag)
                if not name:
                    continue
                kind = kind.group(1) if kind else "text"
                if kind == "password":
                    data[name.group(1)] = args.password
                elif kind == "text":
                    data[name.group(1)] = args.login
                elif kind == "hidden":
                    data[name.group(1)] = value.group(1) if value else ""
            opener.open(base + "login.php", urllib.parse.urlencode(data).encode()).read()
        pages = 0
        for item in config["menu"]:
            url = base + item["url"]
            try:
                body = opener.open(url, timeout=30).read().decode("utf-8", "replace")
                pages += 1
            except urllib.error.HTTPError as error:
                failures.append(f"{item['url']}: HTTP {error.code}")
                continue
            if "login.php" in item["url"] or 'name="password"' in body and args.login is None:
                failures.append(f"{item['url']}: shows the login form")
            view = re.search(r'href="([A-Za-z0-9_]+view\.php\?[^"]+)"', body)
            if view:
                target = base + view.group(1).replace("&amp;", "&")
                try:
                    opener.open(target, timeout=30).read()
                    pages += 1
                except urllib.error.HTTPError as error:
                    failures.append(f"{view.group(1)}: HTTP {error.code}")
    finally:
        server.terminate()
        _, log = server.communicate(timeout=10)
    problems = [line for line in log.splitlines() if PHP_PROBLEMS.search(line)]
    failures += problems[:20]
    for failure in failures:
        print("FAIL", failure)
    print(f"{pages} pages opened, {len(failures)} failures")
    return 1 if failures or pages == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
