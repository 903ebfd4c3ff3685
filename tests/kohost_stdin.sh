#!/usr/bin/env bash
# kohost_stdin.sh KOHOST: commands piped into kohost are run line by line.
set -uo pipefail
actual=$(printf 'new m ko-mirror4\nsend m bang\n' | "$1" | sed -E 's/^console: .*ko-mirror4 .*/BANNER/')
expected='BANNER
m.0: list 0.0 0.0
m.1: list 320.0 0.0
m.2: list 0.0 240.0
m.3: list 320.0 240.0'
diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual")
