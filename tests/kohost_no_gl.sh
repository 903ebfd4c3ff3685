#!/usr/bin/env bash
# kohost_no_gl.sh KOHOST: without an OpenGL context, draw still runs the object (its calls
# are traced) and says so; render gives an error line and writes nothing.
set -uo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
actual=$(printf 'new l jit.gl.lattice @grid 2 2 2\ngltrace on\ndraw l\ngltrace off\nrender x.png 8 8\n' |
  KOHOST_NO_GL=1 "$1" 2>&1)
begins=$(grep -c '^gl: glBegin GL_LINES$' <<<"$actual")
rest=$(grep -v '^gl: ' <<<"$actual")
expected='error: draw: no OpenGL context (KOHOST_NO_GL is set)
error: render: no OpenGL context (KOHOST_NO_GL is set)'
status=0
[ "$begins" = 54 ] || { echo "expected 54 segments, got $begins"; status=1; }
diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$rest") || status=1
[ ! -e x.png ] || { echo "x.png was written"; status=1; }
exit $status
