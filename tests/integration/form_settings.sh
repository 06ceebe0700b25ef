#!/usr/bin/env bash
# The add and edit forms as the project's form settings shape them (tests/data/settings/form_settings.txt),
# on SQLite, PostgreSQL and MariaDB, checked over HTTP by tests/app/form_settings_test.py.
source "$(dirname "$0")/lib/common.sh" "$1"

mapfile -t settings <"$root/tests/data/settings/form_settings.txt"
form_checks() { python3 "$root/tests/app/form_settings_test.py" "$2" "$1" "$scratch/$1-app"; }
for dialect in sqlite pg my; do
    app_case $dialect velmora_forms items_with_lookups_and_notes settings form_checks --no-relations
done

echo "form_settings: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
