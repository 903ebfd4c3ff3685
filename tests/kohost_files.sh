#!/usr/bin/env bash
# kohost_files.sh KOHOST: how kohost reads its script files and standard input, and how it
# reports what it cannot read, line by line or at all.
set -uo pipefail
kohost=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
status=0

# check NAME EXPECTED_STATUS EXPECTED_STDOUT EXPECTED_STDERR -- KOHOST_ARGS... (stdin from $input)
input=/dev/null
check() {
  local name=$1 want_status=$2 want_out=$3 want_err=$4
  shift 5
  local out err got_status
  "$kohost" "$@" <"$input" >"$tmp/out" 2>"$tmp/err"
  got_status=$?
  out=$(sed -E 's/^console: .*(ko-[a-z0-9]+) .*/BANNER \1/' "$tmp/out")
  err=$(cat "$tmp/err")
  if [ "$out" != "$want_out" ] || [ "$err" != "$want_err" ] || [ "$got_status" != "$want_status" ]; then
    echo "FAIL $name"
    echo "  status $got_status, wanted $want_status"
    diff -u <(printf '%s\n' "$want_out") <(printf '%s\n' "$out") | sed 's/^/  out /'
    diff -u <(printf '%s\n' "$want_err") <(printf '%s\n' "$err") | sed 's/^/  err /'
    status=1
  fi
}

mkdir folder.kpat
check "a directory is a mistake" 1 "" "kohost: folder.kpat: cannot read: Is a directory" -- folder.kpat
check "a missing file is a mistake" 1 "" "kohost: none.kpat: cannot open: No such file or directory" -- none.kpat
if [ "$(id -u)" != 0 ]; then
  printf 'echo hidden\n' >locked.kpat
  chmod 000 locked.kpat
  check "an unreadable file is a mistake" 1 "" "kohost: locked.kpat: cannot open: Permission denied" -- locked.kpat
fi

# Line ends LF, CRLF and lone CR, a byte order mark, a last line without an end.
printf '\xEF\xBB\xBFnew m ko-mirror4 @size 2 2\rsend m input 1 1\r\necho one\recho two\n\necho three' >ends.kpat
check "line ends and a byte order mark" 0 "BANNER ko-mirror4
m.0: list 1.0 1.0
m.1: list 1.0 1.0
m.2: list 1.0 1.0
m.3: list 1.0 1.0
one
two
three" "" -- ends.kpat
input=ends.kpat
check "the same from standard input" 0 "BANNER ko-mirror4
m.0: list 1.0 1.0
m.1: list 1.0 1.0
m.2: list 1.0 1.0
m.3: list 1.0 1.0
one
two
three" "" --
input=/dev/null

# With several scripts a mistake names its file; the run goes on through every script,
# unreadable ones included, and a file name is escaped like the rest.
printf 'echo a\nfrob\n' >one.kpat
printf 'echo b\r\rsend nobody bang\n' >"$(printf 't\033wo.kpat')"
check "several scripts" 1 "a
b" 'kohost: one.kpat:2: unknown command "frob"
kohost: folder.kpat: cannot read: Is a directory
kohost: t\x1Bwo.kpat:3: no object "nobody"' -- one.kpat folder.kpat "$(printf 't\033wo.kpat')"
check "one script: no file name" 1 "a" 'kohost: 2: unknown command "frob"' -- one.kpat
printf 'frob\n' >stdin.kpat
input=stdin.kpat
check "standard input among scripts" 1 "a" 'kohost: one.kpat:2: unknown command "frob"
kohost: -:1: unknown command "frob"' -- one.kpat -
input=/dev/null

# Bytes that would hide or act on a terminal: a NUL is a mistake (the plug-in is not
# loaded a second time), control bytes in mistakes are escaped.
printf 'new a ko-mirror4\nnew b ko-mirror4.so\0\nnew c ko-mirror4\0\n\033[2Jfrob\n' >bytes.kpat
check "NUL and control bytes" 1 "BANNER ko-mirror4" 'kohost: 2: NUL byte at column 20
kohost: 3: NUL byte at column 17
kohost: 4: unknown command "\x1B[2Jfrob"' -- bytes.kpat
if LC_ALL=C grep -q $'\033' "$tmp/err"; then
  echo "FAIL a raw escape byte reached standard error"
  status=1
fi

check "a clean run exits 0" 0 "x" "" -- <(printf 'echo x\n')
exit $status
