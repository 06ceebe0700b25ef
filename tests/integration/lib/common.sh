# What every command-line test starts with: the engine under test ($1), the source tree, a scratch
# folder removed on exit that also holds the settings and user folders, and the check counters.
set -u
velmora=$(realpath "$1")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export VELMORA_CONFIG_DIR="$scratch/config" VELMORA_MACHINE_CONFIG="$scratch/machine.json" VELMORA_USER_DIR="$scratch/data"
passed=0 failed=0 skipped=0

check() {  # check NAME EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: expected [$2] got [$3]"; fi
}

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

serve() {  # serve APP LOG: php -S for the application on a free port; sets $port and $server, waits for it
    port=$(free_port)
    php -S "127.0.0.1:$port" -t "$1" "$1/router.php" >"$2" 2>&1 &
    server=$!
    for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return; sleep 0.1; done
}

php_problems() {  # php_problems LOG: how many PHP warnings, notices and errors the server logged
    grep -c 'PHP \(Warning\|Notice\|Deprecated\|Fatal\)\|velmora error' "$1"
}

unreachable() {  # unreachable NAME LOG: a database server that could not be loaded skips its case, unless CI=true
    if [ "${CI:-}" != "true" ]; then skipped=$((skipped + 1)); else check "$1-load" 0 1; cat "$2"; fi
}

lint() {  # lint APP: the number of PHP files that fail php -l
    local bad=0 file
    while IFS= read -r -d '' file; do
        php -l "$file" >/dev/null 2>&1 || { bad=$((bad + 1)); echo "php -l: $file" >&2; }
    done < <(find "$1" -name '*.php' -print0)
    echo $bad
}

project_script() {  # project_script PROJECT STATEMENTS: the statements run on the loaded project, which is saved
    printf 'var p = new AGP();\nif (!p.Load(scriptArgs[0], false)) throw new Error(p.ProjErr);\n%s\nif (!p.Save(scriptArgs[0])) throw new Error(p.ProjErr);\n' \
        "$2" >"$scratch/project.js"
    "$velmora" script "$scratch/project.js" "$1" >/dev/null 2>&1
}

pg() { PGPASSWORD=velmora psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p 5432 -U velmora "$@"; }
my() { MYSQL_PWD=velmora mysql --protocol=tcp -h 127.0.0.1 -P 3306 -u velmora "$@"; }
fresh_db() {  # fresh_db pg|my NAME: the database on that server, made afresh
    if [ "$1" = pg ]; then pg -d postgres -c "DROP DATABASE IF EXISTS $2 WITH (FORCE)" -c "CREATE DATABASE $2" >/dev/null 2>&1
    else my -e "DROP DATABASE IF EXISTS $2; CREATE DATABASE $2 CHARACTER SET utf8mb4" 2>/dev/null; fi
}
