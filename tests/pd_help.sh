#!/usr/bin/env bash
# pd_help.sh PD PACKAGE: every help patch in the Pd library folder opens in pd -batch on its
# own ([declare -lib ko]), creates its object, and runs every message box (a bang to
# ko-help-demo) with output from the object and no error.
set -uo pipefail
pd=$1 package=$2
status=0 count=0
for help in "$package"/*-help.pd; do
  [ -e "$help" ] || continue
  count=$((count + 1))
  name=$(basename "$help" -help.pd)
  out=$(cd /tmp && "$pd" -nogui -batch -noprefs -open "$help" -send "ko-help-demo bang" -send "pd quit" 2>&1)
  if [ $? -ne 0 ] || grep -q "^error: \|couldn't create" <<<"$out" || ! grep -q "^$name[.0-9]*: " <<<"$out"; then
    echo "$name-help.pd:"
    printf '%s\n' "$out" | sed 's/^/  /'
    status=1
  fi
done
[ $count -eq 17 ] || { echo "$count help patches, not 17"; status=1; }
[ $status -eq 0 ] && echo "$count help patches open and run"
exit $status
