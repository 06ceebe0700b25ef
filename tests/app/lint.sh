#!/usr/bin/env bash
# Runs php -l on every .php file under DIR; fails when any file has a syntax error.
set -uo pipefail
dir=${1:?usage: lint.sh DIR}
status=0
count=0
while IFS= read -r -d '' f; do
    count=$((count + 1))
    if ! out=$(php -l "$f" 2>&1); then
        echo "$out" >&2
        status=1
    fi
done < <(find "$dir" -name '*.php' -type f -print0)
echo "php -l: $count files checked$([ $status -ne 0 ] && echo ', errors found')"
exit $status
