#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Idempotent and
# non-interactive: packages that are already installed are skipped.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config make clang
  # libraries
  libmozjs-102-dev libpugixml-dev libpcre2-dev libsqlite3-dev libpq-dev
  libmariadb-dev unixodbc-dev mdbtools-dev libzip-dev
  libcli11-dev libfmt-dev nlohmann-json3-dev libcrypt-dev libgit2-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3 gcovr
  # servers and generated-application checks
  postgresql mariadb-server odbc-postgresql odbc-mariadb php-cli php-sqlite3 php-pgsql php-mysql sqlite3 chromium
  # the libraries generated applications use, and what their tests read their output with
  php-gd php-zip php-xml php-mbstring php-dompdf libphp-phpmailer php-gregwar-captcha php-htmlpurifier
  python3-aiosmtpd python3-lxml poppler-utils
  # the browser test's screenshots (Node.js and npm come with the machine)
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
