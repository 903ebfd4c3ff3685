#!/usr/bin/env bash
# tools/pd_memcheck.sh [SCRIPT.kpat ...]
# The Pd side of the kohost/Pd comparison under valgrind memcheck: each script (default:
# every example) translated into a Pd patch and run in pd -batch with the library of the
# release build; fails on any difference, any memory error or memory definitely lost.
# About a minute for all the examples, so not part of ./ko test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
[ -x "$build/tools/pdcompare/ko_pdcompare" ] && [ -f "$build/pd/ko/ko.pd_linux" ] ||
  { echo "pd_memcheck: build first (./ko build, with puredata-dev installed)" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "pd_memcheck: valgrind is not installed" >&2; exit 2; }
[ $# -gt 0 ] || set -- "$root"/examples/*.kpat
exec "$build/tools/pdcompare/ko_pdcompare" --pd "$(command -v pd)" --package "$build/pd/ko" --valgrind "$@"
