#!/usr/bin/env bash
# The chain benchmark in Pure Data: a float through chains of 1, 10 and 100 [+ 0]
# objects, driven by an [until] loop and timed by [realtime], in a generated patch run
# with pd -batch. Prints one line per chain length:
#   time pd_hop/N NS      (nanoseconds per hop: the loop's time over iterations x N)
# Without pd it says so in one line and exits 0; ./ko bench passes these lines to
# ko_bench, which reports hop_vs_pd.
set -euo pipefail

if ! command -v pd >/dev/null 2>&1; then
  echo "pd_chain: pd not installed (Debian package puredata-core), Pure Data chains skipped"
  exit 0
fi

# Many short runs, and the best of them: a run short enough to go by without the
# scheduler stepping in shows the loop's own cost, as the CPU time of ours does.
reps=${PD_CHAIN_REPS:-25}
hops=${PD_CHAIN_HOPS:-3000000}  # hops per timed run, whatever the chain length
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
patch=$dir/chains.pd

# Objects are numbered in the order they are written; `add` writes one and sets $last.
n_obj=0
last=0
add() {
  echo "#X $1;" >>"$patch"
  last=$n_obj
  n_obj=$((n_obj + 1))
}
connect() { conns+=("#X connect $1 $2 $3 $4;"); }

conns=()
echo "#N canvas 0 0 600 600 10;" >"$patch"
add "obj 10 10 loadbang"
loadbang=$last
# One outlet per chain length and repetition, plus the rightmost-last "quit": a trigger
# fires right to left, so outlet 0 (quit) goes last.
runs=()
for n in 1 10 100; do
  for ((r = 0; r < reps; r++)); do runs+=("$n"); done
done
outs=$(printf 'b %.0s' $(seq 0 ${#runs[@]}))
add "obj 10 30 t $outs"
trigger=$last
connect "$loadbang" 0 "$trigger" 0
add "msg 10 50 \\; pd quit"
connect "$trigger" 0 "$last" 0

declare -A first_of
for n in 1 10 100; do
  # The chain itself, shared by the repetitions of its length.
  prev=-1
  for ((i = 0; i < n; i++)); do
    add "obj 200 $((10 + i)) + 0"
    if ((prev >= 0)); then connect "$prev" 0 "$last" 0; fi
    [ "$i" -eq 0 ] && first_of[$n]=$last
    prev=$last
  done
done

out=1
for n in "${runs[@]}"; do
  iters=$((hops / n))
  add "obj 10 70 t b b b"
  t=$last
  connect "$trigger" "$out" "$t" 0
  out=$((out + 1))
  add "obj 10 90 realtime"
  rt=$last
  add "msg 10 110 $iters"
  connect "$t" 1 "$last" 0
  msg=$last
  add "obj 10 130 until"
  connect "$msg" 0 "$last" 0
  until_obj=$last
  add "obj 10 150 f 1.5"
  connect "$until_obj" 0 "$last" 0
  connect "$last" 0 "${first_of[$n]}" 0
  add "obj 10 170 print pd_chain_${n}_${iters}"
  connect "$t" 2 "$rt" 0
  connect "$t" 0 "$rt" 1
  connect "$rt" 0 "$last" 0
done
printf '%s\n' "${conns[@]}" >>"$patch"

# [print] writes "pd_chain_N_ITERS: MS" to standard error; keep the best of the runs.
pd -nogui -noaudio -nomidi -batch -open "$patch" 2>&1 |
  awk -F'[_: ]+' '/^pd_chain_/ {
      n = $3; iters = $4; ns = $5 * 1e6 / (iters * n)
      if (!(n in best) || ns < best[n]) best[n] = ns
    }
    END { for (n in best) printf "time pd_hop/%d %.3f\n", n, best[n] }' | sort -t/ -k2 -n
