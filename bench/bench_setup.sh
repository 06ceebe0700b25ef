# What the benchmark scripts start with: the engine under test (the argument, else the bench or the
# normal build), a scratch folder removed on exit, and the engine's settings kept inside it.
#   source "$(dirname "$0")/bench_setup.sh" NAME [path/to/velmora]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
velmora=${2:-}
for candidate in "$velmora" "$root/build-bench/src/server/velmora" "$root/build/src/server/velmora"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then velmora=$(realpath "$candidate"); break; fi
done
[ -x "$velmora" ] || { echo "$1: no velmora binary" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELMORA_CONFIG_DIR="$work/config" VELMORA_MACHINE_CONFIG="$work/machine.json" VELMORA_USER_DIR="$work/data"
