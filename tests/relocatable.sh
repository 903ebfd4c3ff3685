#!/usr/bin/env bash
# relocatable.sh BUILD_DIR: kohost and the plug-ins find the host library relative to
# themselves, so bin/, lib/ and plugins/ copied elsewhere still run a patch.
set -uo pipefail
build=$1
status=0
for f in "$build"/plugins/*.so "$build/bin/kohost"; do
  [ -L "$f" ] && continue
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [ "$runpath" = '$ORIGIN/../lib' ] || { echo "$(basename "$f"): run path \"$runpath\""; status=1; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp -a "$build/bin" "$build/lib" "$build/plugins" "$dir/"
out=$(printf 'new t ko-tobearing\nsend t 10\n' | env -u KOHOST_PATH -u LD_LIBRARY_PATH "$dir/bin/kohost" 2>&1)
[ "$(tail -n 1 <<<"$out")" = "t.0: float 80.0" ] || { echo "moved kohost printed: $out"; status=1; }
[ $status -eq 0 ] && echo "the build runs from $dir"
exit $status
