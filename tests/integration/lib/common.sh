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
