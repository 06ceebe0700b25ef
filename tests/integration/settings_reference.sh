#!/usr/bin/env bash
# Every property of src/model/core/*_properties.def is written in backticks in the "Settings reference"
# section of the default package's README, which says what the application does with it (or why nothing).
source "$(dirname "$0")/lib/common.sh" "$1"
missing=$(python3 - "$root" <<'PY'
import glob, re, sys
root = sys.argv[1]
names = []
for path in sorted(glob.glob(f"{root}/src/model/core/*_properties.def")):
    names += re.findall(r"^VELMORA_PROPERTY\w*\(\s*(\w+)", open(path).read(), re.M)
readme = open(f"{root}/templates/default/README.md").read()
section = readme.partition("\n## Settings reference\n")[2].split("\n## ")[0]
written = set(re.findall(r"`([^`\s]+)`", section))
print(" ".join(n for n in dict.fromkeys(names) if n not in written))
PY
)
check settings-reference-complete "" "$missing"
echo "settings_reference: $passed passed, $failed failed"
[ $failed -eq 0 ]
