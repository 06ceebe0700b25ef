#!/usr/bin/env python3
"""Prints line and branch coverage per subsystem (src/<subsystem>/, src/platform/db apart) from the
gcov data of a coverage build: coverage_report.py BUILD_DIR."""
import collections
import json
import os
import subprocess
import sys

build = sys.argv[1] if len(sys.argv) > 1 else "build-coverage"
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
summary = json.loads(subprocess.check_output(
    ["gcovr", "--root", root, "--filter", os.path.join(root, "src") + "/", "--json-summary", "-", build],
    cwd=root, stderr=subprocess.DEVNULL))

totals = collections.defaultdict(lambda: [0, 0, 0, 0])
for item in summary["files"]:
    parts = item["filename"].split("/")
    name = "/".join(parts[1:3]) if parts[1:3] == ["platform", "db"] else parts[1]
    for key in (name, "all"):
        t = totals[key]
        t[0] += item["line_covered"]
        t[1] += item["line_total"]
        t[2] += item["branch_covered"]
        t[3] += item["branch_total"]

def percent(covered, total):
    return f"{100.0 * covered / total:5.1f}%" if total else "    -"

print(f"{'subsystem':<14} {'lines':>7} {'of':>7} {'branches':>9} {'of':>7}")
for name in sorted(totals, key=lambda n: (n == "all", n)):
    lc, lt, bc, bt = totals[name]
    print(f"{name:<14} {percent(lc, lt):>7} {lt:>7} {percent(bc, bt):>9} {bt:>7}")
