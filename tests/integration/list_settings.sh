#!/usr/bin/env bash
# List pages as the project's list settings shape them (tests/data/settings/list_settings.txt), on
# SQLite, PostgreSQL and MariaDB, checked over HTTP against the database by tests/app/list_settings_test.py.
source "$(dirname "$0")/lib/common.sh" "$1"

mapfile -t settings <"$root/tests/data/settings/list_settings.txt"
list_checks() { python3 "$root/tests/app/list_settings_test.py" --app "$scratch/$1-app" --port "$2"; }
for dialect in sqlite pg my; do
    app_case $dialect velmora_lists thirty_items_and_notes settings list_checks
done

echo "list_settings: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
