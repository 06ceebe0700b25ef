#!/usr/bin/env bash
# Starts the local PostgreSQL and MariaDB servers the database tests read, and makes sure each
# has the login `velmora` (password `velmora`) and the databases velmora_sample, velmora_scratch,
# velmora_demo (the demo shop of examples/demo) and chinook. Idempotent and quick when all is in
# place: a database is reloaded only when the SQL file it came from has changed, which the
# database's comment records as a checksum.
#
# A server that cannot be started is a note (the tests that need it skip), or an error when
# CI=true.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
chinook_dir="$root/tests/fixtures/chinook"
sample_dir="$root/examples/sql"
demo_dir="$root/examples/demo"
login=velmora
failures=()

note() { echo "test-servers: $*" >&2; }

as_user() {
  local user=$1
  shift
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$user" -- "$@"
  else
    sudo -n -u "$user" -- "$@"
  fi
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n -- "$@"; fi
}

# Marks a loaded database: the checksum of the file it was loaded from.
stamp_of() { echo "velmora fixture $(sha256sum "$1" | cut -c1-16)"; }

# The fixture files create and select their own database; the loader picks the database itself.
strip_database_switch() {
  sed -E -e '/^[[:space:]]*(DROP|CREATE) DATABASE/Id' -e '/^[[:space:]]*USE[[:space:]]/Id' -e '/^\\c[[:space:]]/d' "$1"
}

wait_until() {
  local tries=$1
  shift
  for ((i = 0; i < tries; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.5
  done
  return 1
}

# ---- PostgreSQL ----------------------------------------------------------------------------

pg_version=15
pg_cluster=main

pg_super() { as_user postgres psql -X -q -v ON_ERROR_STOP=1 "$@"; }

pg_ready() { command -v pg_isready >/dev/null && pg_isready -q -h 127.0.0.1 -p 5432; }

pg_start() {
  if pg_ready; then return 0; fi
  command -v pg_ctlcluster >/dev/null || return 1
  if ! pg_lsclusters -h 2>/dev/null | awk -v v="$pg_version" -v c="$pg_cluster" '$1 == v && $2 == c { f = 1 } END { exit !f }'; then
    as_root pg_createcluster "$pg_version" "$pg_cluster" >/dev/null || return 1
  fi
  as_root pg_ctlcluster "$pg_version" "$pg_cluster" start >/dev/null 2>&1 || as_root service postgresql start >/dev/null 2>&1
  wait_until 60 pg_ready
}

# What is in place, in one round trip: lines "hba|<file>", "role|velmora", "db|<name>|<comment>".
pg_state() {
  pg_super -d postgres -tA -F'|' -c "
    SELECT 'hba', current_setting('hba_file'), NULL
    UNION ALL SELECT 'role', rolname, NULL FROM pg_roles WHERE rolname = '$login'
    UNION ALL SELECT 'db', datname, coalesce(shobj_description(oid, 'pg_database'), '')
      FROM pg_database WHERE datname IN ('velmora_scratch', 'velmora_sample', 'velmora_demo', 'chinook')"
}

# Password logins over TCP from 127.0.0.1; Debian's default configuration already has them.
pg_allow_password_login() {
  local hba=$1
  if ! grep -Eq '^[[:space:]]*host[[:space:]]+all[[:space:]]+all[[:space:]]+127\.0\.0\.1/32[[:space:]]+(md5|scram-sha-256)' "$hba"; then
    echo "host all all 127.0.0.1/32 scram-sha-256" | as_root tee -a "$hba" >/dev/null
    pg_super -d postgres -c 'SELECT pg_reload_conf()' >/dev/null
  fi
}

pg_setup() {
  local state
  pg_start || return 1
  state=$(pg_state) || return 1
  pg_allow_password_login "$(sed -n 's/^hba|\(.*\)|$/\1/p' <<<"$state")" || return 1
  if ! grep -qx "role|$login|" <<<"$state"; then
    pg_super -d postgres -c "CREATE ROLE $login LOGIN CREATEDB PASSWORD '$login'" >/dev/null || return 1
  fi
  pg_database "$state" velmora_scratch "" || return 1
  pg_database "$state" velmora_sample "$sample_dir/sample_postgresql.sql" || return 1
  pg_database "$state" velmora_demo "$demo_dir/shop_postgresql.sql" || return 1
  pg_database "$state" chinook "$chinook_dir/Chinook_PostgreSql.sql" || return 1
}

# Creates the database owned by the login when missing, or reloads it when its file changed.
pg_database() {
  local state=$1 name=$2 file=$3 want=""
  [ -n "$file" ] && want=$(stamp_of "$file")
  grep -qxF "db|$name|$want" <<<"$state" && return 0
  [ -n "$file" ] && note "loading PostgreSQL database $name"
  pg_super -d postgres -c "DROP DATABASE IF EXISTS $name WITH (FORCE)" -c "CREATE DATABASE $name OWNER $login ENCODING 'UTF8' TEMPLATE template0" >/dev/null 2>&1 || return 1
  [ -z "$file" ] && return 0
  strip_database_switch "$file" |
    PGPASSWORD=$login psql -X -q -v ON_ERROR_STOP=1 --single-transaction -h 127.0.0.1 -U "$login" -d "$name" >/dev/null || return 1
  pg_super -d postgres -c "COMMENT ON DATABASE $name IS '$want'" >/dev/null
}

# ---- MariaDB -------------------------------------------------------------------------------

my_root() { as_root mysql --protocol=socket -uroot --batch --skip-column-names "$@"; }

my_ready() { as_root mysqladmin --protocol=socket -uroot ping; }

my_start() {
  if my_ready >/dev/null 2>&1; then return 0; fi
  command -v mysqladmin >/dev/null || return 1
  as_root service mariadb start >/dev/null 2>&1
  wait_until 60 my_ready
}

my_setup() {
  my_start || return 1
  my_root <<SQL || return 1
CREATE USER IF NOT EXISTS '$login'@'localhost' IDENTIFIED BY '$login';
CREATE USER IF NOT EXISTS '$login'@'127.0.0.1' IDENTIFIED BY '$login';
GRANT ALL PRIVILEGES ON \`velmora\\_%\`.* TO '$login'@'localhost', '$login'@'127.0.0.1';
GRANT ALL PRIVILEGES ON \`chinook\`.* TO '$login'@'localhost', '$login'@'127.0.0.1';
SQL
  my_database velmora_scratch "" || return 1
  my_database velmora_sample "$sample_dir/sample_mysql.sql" || return 1
  my_database velmora_demo "$demo_dir/shop_mysql.sql" || return 1
  my_database chinook "$chinook_dir/Chinook_MySql.sql" || return 1
}

my_database() {
  local name=$1 file=$2 want="" found
  [ -n "$file" ] && want=$(stamp_of "$file")
  found=$(my_root -e "SELECT concat('[', SCHEMA_COMMENT, ']') FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '$name'") || return 1
  [ "$found" = "[$want]" ] && return 0
  [ -n "$file" ] && note "loading MariaDB database $name"
  my_root -e "DROP DATABASE IF EXISTS \`$name\`; CREATE DATABASE \`$name\` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci" || return 1
  [ -z "$file" ] && return 0
  strip_database_switch "$file" | my_root --default-character-set=utf8mb4 "$name" || return 1
  my_root -e "ALTER DATABASE \`$name\` COMMENT '$want'"
}

# ---- both ----------------------------------------------------------------------------------

pg_setup || failures+=("PostgreSQL $pg_version on 127.0.0.1:5432")
my_setup || failures+=("MariaDB on 127.0.0.1:3306")

if [ ${#failures[@]} -gt 0 ]; then
  for f in "${failures[@]}"; do
    if [ "${CI:-}" = "true" ]; then
      note "error: could not prepare $f for the database tests"
    else
      note "could not prepare $f; the tests that need it will be skipped"
    fi
  done
  [ "${CI:-}" = "true" ] && exit 1
fi
exit 0
