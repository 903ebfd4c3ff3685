#!/usr/bin/env bash
# pd_library.sh PD PACKAGE BUILD_DIR TEST_PLUGINS: the Pd library folder and its loader.
# - ko.pd_linux answers to the host library's name and exports the host API that
#   libkohost.so exports (and ko_setup), nothing else;
# - plugins/ holds the build's plug-ins, ko-tobearing.so still a link;
# - in Pd, with LD_LIBRARY_PATH pointing at the real host library: a plug-in is found
#   in KOHOST_PATH; a link under a name of its own makes the class it leads to, loaded
#   once; a deferred call runs after the message, the newer replacing the older; inlets
#   past the first take ints through proxies; a console line longer than Pd formats at
#   once comes out whole.
set -uo pipefail
pd=$1 package=$2 build=$3 test_plugins=$4
status=0
fail() { echo "FAIL: $*"; status=1; }

exports() { nm -D --defined-only "$1" | awk '$2 ~ /^[TWDBRV]$/ {print $3}' | sort -u; }
ours=$(exports "$package/ko.pd_linux")
host_api=$(exports "$build/lib/libkohost.so" | grep '^_ZN3max')
[ "$ours" = "$(printf '%s\nko_setup\n' "$host_api" | sort -u)" ] ||
  fail "ko.pd_linux exports differ from the host API: $(diff <(echo "$ours") <(printf '%s\nko_setup\n' "$host_api" | sort -u) | grep '^[<>]' | tr '\n' ' ')"
readelf -d "$package/ko.pd_linux" | grep -q 'SONAME.*\[libkohost.so\]' || fail "ko.pd_linux is not named libkohost.so"

[ "$(cd "$build/plugins" && ls)" = "$(cd "$package/plugins" && ls)" ] || fail "plugins/ differs from the build's plug-ins"
[ -L "$package/plugins/ko-tobearing.so" ] || fail "ko-tobearing.so is not a link in plugins/"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# Not beside the patch: Pd itself would try a NAME.so on its own search path as a Pd external.
mkdir "$dir/elsewhere"
ln -s "$build/plugins/ko-rescale.so" "$dir/elsewhere/ko-renamed.so"
cat > "$dir/t.pd" <<'PATCH'
#N canvas 0 0 600 400 10;
#X obj 10 10 loadbang;
#X obj 10 30 t b b b b b b b;
#X msg 10 60 later 1 2;
#X msg 80 60 later 3 4;
#X msg 150 60 5;
#X msg 200 60 6;
#X obj 10 100 ko-pdtest;
#X obj 10 130 print d;
#X obj 200 100 ko-renamed;
#X obj 200 130 print r;
#X obj 300 100 ko-rescale;
#X obj 300 130 print s;
#X msg 250 60 0.5;
#X obj 400 30 del 5;
#X msg 400 60 \; pd quit;
#X msg 500 60 say 1500;
#X connect 0 0 1 0;
#X connect 1 6 15 0;
#X connect 15 0 6 0;
#X connect 1 5 2 0;
#X connect 1 4 3 0;
#X connect 1 3 4 0;
#X connect 1 2 5 0;
#X connect 1 1 12 0;
#X connect 2 0 6 0;
#X connect 3 0 6 0;
#X connect 4 0 6 2;
#X connect 5 0 6 1;
#X connect 6 0 7 0;
#X connect 8 0 9 0;
#X connect 10 0 11 0;
#X connect 12 0 8 0;
#X connect 12 0 10 0;
#X connect 0 0 13 0;
#X connect 13 0 14 0;
PATCH
out=$(cd "$dir" && LD_LIBRARY_PATH="$build/lib" KOHOST_PATH="$dir/elsewhere:$test_plugins" \
  timeout 60 "$pd" -nogui -batch -noprefs -path "$(dirname "$package")" -lib "$(basename "$package")" -open t.pd 2>&1)
# Banners aside, in this order.
got=$(grep -v 'ko objects' <<<"$out")
want=$(printf '%*s|' 1500 '' | tr ' ' '=')'
d: 5
error: ko-pdtest: doesn'"'"'t understand "int"
r: 63.5
s: 63.5
d: 3 4'
[ "$got" = "$want" ] || fail "$(printf 'the loader patch printed:\n%s\nnot:\n%s' "$got" "$want")"
[ "$(grep -c 'ko-rescale ko objects' <<<"$out")" = 1 ] || fail "ko-rescale did not load exactly once: $out"
[ $status -eq 0 ] && echo "Pd library: exports, plug-ins, KOHOST_PATH, links, defer and inlets as expected"
exit $status
