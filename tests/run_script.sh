#!/usr/bin/env bash
# run_script.sh [--update] KOHOST SCRIPT.kpat EXPECTED
# Runs a patch script and compares what it prints (standard output and mistakes) with the
# expected text. Build date, build time and the host's time value in load banners are
# masked, since they change with every build and run.
set -uo pipefail
update=0
if [ "${1:-}" = "--update" ]; then update=1; shift; fi
kohost=$(realpath "$1") script=$(realpath "$2") expected=$(realpath -m "$3")
cd "$(dirname "$script")"
actual=$("$kohost" "$(basename "$script")" 2>&1 | sed -E '/^console: /{
  s/[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}/DATE/g
  s/[0-9]{2}:[0-9]{2}:[0-9]{2}/TIME/g
  s/[0-9a-f]{7,8}d/HEXTIMEd/g
}')
if [ $update = 1 ]; then
  printf '%s\n' "$actual" > "$expected"
  exit 0
fi
diff -u "$expected" <(printf '%s\n' "$actual")
