#!/usr/bin/env bash
# The default package's security over HTTP, its mail caught by a local SMTP sink (tests/app/security_test.py):
# dynamic user levels on SQLite, PostgreSQL and MariaDB, static levels on SQLite.
source "$(dirname "$0")/lib/common.sh" "$1"

hash=$(php -r 'echo password_hash("secret123", PASSWORD_BCRYPT);')
schema() {  # schema sqlite|pg|my: the test schema in that dialect, with users whose password is secret123
    sed -e "s/@ID@/${id_column[$1]}/" -e "s|@PW@|$hash|" "$root/tests/app/security_schema.sql"
}

case_run() {  # case_run NAME MODE NEW-ARGS...: generate, start the sink, run the HTTP checks
    local name=$1 mode=$2 port sink rc
    shift 2
    new_project "$name" "$@" || return
    port=$(free_port)
    "$velmora" script "$root/tests/app/security_setup.js" "$scratch/$name.vlp" "$mode" "$port" >/dev/null 2>&1
    check "$name-setup" 0 $?
    "$velmora" generate "$scratch/$name.vlp" --dest "$scratch/$name-app" --yes --overwrite all >"$scratch/gen.log" 2>&1
    rc=$?; check "$name-generate" 0 $rc; [ $rc -eq 0 ] || { tail -5 "$scratch/gen.log"; return; }
    /usr/bin/python3 "$root/tests/app/smtp_sink.py" "$port" "$scratch/$name-mail" >/dev/null 2>&1 &
    sink=$!
    python3 "$root/tests/app/security_test.py" --app "$scratch/$name-app" --mode "$mode" --mail "$scratch/$name-mail" \
        >"$scratch/http.log" 2>&1
    rc=$?; check "$name-http" 0 $rc; [ $rc -eq 0 ] || tail -40 "$scratch/http.log"
    kill $sink 2>/dev/null; wait $sink 2>/dev/null
}

schema sqlite | sqlite3 "$scratch/dynamic.db"
case_run sqlite-dynamic dynamic --db sqlite --file "$scratch/dynamic.db"
# The application's README names the libraries its pages use; where they cannot be loaded
# (open_basedir hides /usr/share/php), the pages that need them name the packages to install.
app="$scratch/sqlite-dynamic-app"
check readme-libraries 2 "$(grep -c -E '^\| (e-mail \(SMTP\) \| libphp-phpmailer \| phpmailer/phpmailer|captcha \| php-gregwar-captcha \| gregwar/captcha) \|$' "$app/README.md")"
for page in forgotpwd:phpmailer captcha:gregwar-captcha; do
    missing=$(cd "$app" && php -d open_basedir="$app:/tmp" -d session.save_path=/tmp -r '
        $_SERVER["REQUEST_METHOD"] = "GET"; $_SERVER["SCRIPT_NAME"] = "/" . $argv[1] . ".php"; require $argv[1] . ".php";' \
        "${page%%:*}" 2>&1)
    check "$page-missing" 1 "$(echo "$missing" | grep -c "install the Debian package [a-z-]*${page#*:}")"
done
schema sqlite | sqlite3 "$scratch/static.db"
case_run sqlite-static static --db sqlite --file "$scratch/static.db"

db=velmora_security
if fresh_db pg $db; then
    schema pg | pg -d $db >/dev/null 2>&1
    check pg-schema 0 $?
fi
case_run pg-dynamic dynamic --db postgresql "${login[@]}" --database $db
if fresh_db my $db; then
    schema my | my $db >/dev/null 2>&1
    check my-schema 0 $?
fi
case_run my-dynamic dynamic --db mysql "${login[@]}" --database $db

echo "security_package: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
