#!/usr/bin/env bash
# exports_only_main.sh PLUGIN_DIR: every plug-in's only exported function is main.
set -uo pipefail
status=0
count=0
for so in "$1"/*.so; do
  [ -e "$so" ] || continue
  count=$((count + 1))
  exported=$(nm -D --defined-only "$so" | awk '$2 ~ /^[TtWwiI]$/ {print $3}' | sort -u | tr '\n' ' ')
  if [ "$exported" != "main " ]; then
    echo "$(basename "$so") exports: $exported"
    status=1
  fi
done
[ $count -gt 0 ] || { echo "no plug-ins in $1"; exit 1; }
echo "$count plug-ins export only main"
exit $status
