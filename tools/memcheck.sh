#!/usr/bin/env bash
# tools/memcheck.sh SCRIPT.kpat ...
# Runs kohost on patch scripts under valgrind memcheck (release build), in the script's
# folder; fails on any memory error or on memory definitely lost. What the OpenGL driver
# keeps for the life of the process (its shader compiler's caches) is not counted, and
# tools/valgrind.supp hides one misreading of the system loader.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kohost=$root/build/release/bin/kohost
[ -x "$kohost" ] || { echo "memcheck: build first (./ko build)" >&2; exit 2; }
status=0
for script in "$@"; do
  dir=$(cd "$(dirname "$script")" && pwd)
  name=$(basename "$script")
  echo "memcheck: $script" >&2
  (cd "$dir" && valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite --show-possibly-lost=no \
     --suppressions="$root/tools/valgrind.supp" -q "$kohost" "$name" >/dev/null) || status=1
done
exit $status
