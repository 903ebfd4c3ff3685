#!/usr/bin/env bash
# kohost_budget.sh KOHOST: --budget bounds what one script line may cause; a fan-out cord
# loop stops there with one error line and the next line runs.
set -uo pipefail
kohost=$1
script='new t ko-threepoint
new u ko-threepoint
connect t 0 u 0
connect u 0 t 0
connect u 0 u 0
send t 1 2
echo next'
out=$(printf '%s\n' "$script" | "$kohost" --budget 50 | grep -v '^console: ')
lines=$(printf '%s\n' "$out" | wc -l)
errors=$(printf '%s\n' "$out" | grep -c '^error: ')
tail2=$(printf '%s\n' "$out" | tail -n 2)
expected_tail='error: ko-threepoint: delivery budget exhausted, message "list" dropped
next'
status=0
[ "$lines" -eq 52 ] || { echo "expected 50 emissions, an error line and next; got $lines lines"; status=1; }
[ "$errors" -eq 1 ] || { echo "expected one error line, got $errors"; status=1; }
[ "$tail2" = "$expected_tail" ] || { echo "unexpected end:"; printf '%s\n' "$tail2"; status=1; }
# The option is documented, and a budget must be a positive number.
"$kohost" --help | grep -q -- '--budget N' || { echo "--help does not mention --budget"; status=1; }
for bad in 0 -5 x 12x; do
  if "$kohost" --budget "$bad" </dev/null 2>/dev/null; then echo "--budget $bad accepted"; status=1; fi
done
"$kohost" --budget 2>/dev/null </dev/null && { echo "--budget without a number accepted"; status=1; }
exit $status
