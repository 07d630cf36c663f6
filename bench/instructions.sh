#!/usr/bin/env bash
# Instructions per contact: tarnvex-export under callgrind on a store made by tarnvex-pstgen
# --generate, counted for each thread. Unlike times, the counts do not move with the machine's
# load, so two builds compare with one run each: run this in a worktree of each commit. Not part
# of ./scripts/test.
#
# Usage: bench/instructions.sh [CONTACTS]   (default 10000; callgrind takes about 1 s per 1,000)
# Environment: BENCH_BUILD and BENCH_TMPFS (bench/settings.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/settings.sh
contacts=${1:-10000}

build_bench_programs
store="$tmpfs/store-$contacts-generated.pst"
[ -f "$store" ] || "$build/bin/tarnvex-pstgen" --generate "$contacts" --out "$store" >/dev/null
work=$(mktemp -d "$tmpfs/instructions-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
valgrind --tool=callgrind --separate-threads=yes --callgrind-out-file="$work/profile" \
  "$build/bin/tarnvex-export" --pst "$store" --out "$work/out" --quiet >/dev/null 2>&1
cards=$(find "$work/out" -name '*.vcf' | wc -l)

echo "$contacts generated contacts, $cards cards, $(git rev-parse --short HEAD)"
total=0
for profile in "$work"/profile-*; do
  count=$(awk '$1 == "totals:" { print $2 }' "$profile")
  total=$((total + count))
  thread=${profile##*-}
  case $thread in
    01) name="the run's thread" ;;
    02) name="the reading thread" ;;
    *) name="thread $((10#$thread))" ;;
  esac
  printf '%-20s %8d instructions per card\n' "$name" $((count / cards))
done
printf '%-20s %8d instructions per card\n' "the whole program" $((total / cards))
