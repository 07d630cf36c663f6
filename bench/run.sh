#!/usr/bin/env bash
# Export benchmark: tarnvex-export against readpst -S -cv and against the floor (as many files of
# the same sizes, written with nothing else to do), on generated stores, on the disk's file
# system and on a tmpfs. Writes bench/RESULTS.md. Not part of ./scripts/test.
#
# Usage: bench/run.sh [SIZE[:equal|:generated]...]
#   default: 1000 10000 100000 1000000 1000:equal 100000:equal 1000:generated 10000:generated
#            100000:generated
#   SIZE:equal is a store where nine contacts in ten share a few file-as texts; SIZE:generated
#   one written by tarnvex-pstgen --generate (the fuller contacts of the tests).
#   Stores of 1,000,000 contacts are written without photos (a file of about 2.2 GB).
# Environment: BENCH_BUILD, BENCH_DISK and BENCH_TMPFS (bench/settings.sh),
# BENCH_RUNS (rounds per size, default 5; 3 for a million), BENCH_FS ("disk tmpfs" by default),
# BENCH_SETTLE (seconds to wait after removing cards from the disk, default 40).
#
# On the disk the output folders of a size are removed only after its last round, and the next
# timed run waits BENCH_SETTLE seconds: ext4 passes over inodes freed in the last 35 s or so
# (vm.dirty_expire_centisecs plus 5 s) when it makes a file, and a run that started right after
# 100,000 cards were removed took up to twelve times as long as the same run without. On the
# tmpfs folders are removed after each run (they take memory), which costs nothing there.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/settings.sh
filesystems=(${BENCH_FS:-disk tmpfs})
settle=${BENCH_SETTLE:-40}
cases=("$@")
[ ${#cases[@]} -gt 0 ] ||
  cases=(1000 10000 100000 1000000 1000:equal 100000:equal 1000:generated 10000:generated
    100000:generated)

build_bench_programs
results="$disk/results.txt"
: >"$results"

# run PROGRAM FS CASE STORE [warm-up]: one timed run into a fresh empty folder, removed outside the timing.
run() {
  local program=$1 fs=$2 case=$3 pst=$4 base out
  base=$([ "$fs" = tmpfs ] && echo "$tmpfs" || echo "$disk")
  out=$(mktemp -d "$base/out-$program-XXXXXX")
  case $program in
    ours) measure "$build/bin/tarnvex-export" --pst "$pst" --out "$out" --quiet ;;
    readpst) measure readpst -S -cv -q -o "$out" "$pst" ;;
    floor) measure "$build/bin/tarnvex-bench-floor" "$disk/sizes-$case.txt" "$out" ;;
  esac
  if [ "$program" = ours ]; then
    CARDS=$(find "$out" -name '*.vcf' | wc -l)
    find "$out" -name '*.vcf' -printf '%s\n' >"$disk/sizes-$case.txt"
  fi
  [ -n "${5:-}" ] || echo "$case $fs $program $WALL $USER $SYS $PEAK" >>"$results"
  if [ "$fs" = tmpfs ]; then
    rm -rf "$out"
  else
    kept+=("$out")
  fi
}

# Removes the disk's output folders kept so far and waits until ext4 no longer passes over the
# inodes they freed.
remove_kept() {
  [ ${#kept[@]} -gt 0 ] || return 0
  rm -rf "${kept[@]}"
  kept=()
  sync
  sleep "$settle"
}
kept=()

for case in "${cases[@]}"; do
  n=${case%%:*}
  pst="$disk/store-${case/:/-}.pst"
  if [ ! -f "$pst" ]; then
    options=()
    [ "$n" -lt 1000000 ] || options+=(--no-photos)
    case $case in
      *:generated)
        "$build/bin/tarnvex-pstgen" --generate "$n" "${options[@]}" --out "$pst" >/dev/null ;;
      *:equal) "$build/bin/tarnvex-bench-pst" "$pst" "$n" --equal-names "${options[@]}" >/dev/null ;;
      *) "$build/bin/tarnvex-bench-pst" "$pst" "$n" "${options[@]}" >/dev/null ;;
    esac
  fi
  rounds=${BENCH_RUNS:-$([ "$n" -ge 1000000 ] && echo 3 || echo 5)}
  for fs in "${filesystems[@]}"; do
    # The programs take turns (ours, readpst, floor, ours, ...): whatever the machine's
    # neighbours or the file system's state do to one round falls on all three alike.
    run ours "$fs" "$case" "$pst" warm-up  # not counted; the floor needs the cards' sizes
    remove_kept
    for ((r = 1; r <= rounds; r++)); do
      for program in ours readpst floor; do
        run "$program" "$fs" "$case" "$pst"
      done
    done
    remove_kept
    echo "$case on $fs done" >&2
  done
done

# System calls per card of one export of 1,000 contacts (strace -c -f).
syscalls=
if command -v strace >/dev/null && [ -f "$disk/store-1000.pst" ]; then
  out=$(mktemp -d "$disk/strace-XXXXXX")
  strace -c -f -o "$disk/strace.txt" "$build/bin/tarnvex-export" --pst "$disk/store-1000.pst" \
    --out "$out" --quiet >/dev/null 2>&1 || true
  rm -rf "$out"
  syscalls=$(awk '$NF == "total" { print $4 }' "$disk/strace.txt")
fi

python3 "$root/bench/report.py" "$results" "${syscalls:-}" "$(readpst -V 2>&1 | head -1)" \
  >"$root/bench/RESULTS.md.new"
# The figures of the Windows build through automation come from bench/com_outlook.sh: kept.
if [ -f "$root/bench/RESULTS.md" ]; then
  awk '/^## Outlook through automation/ { keep = 1; print "" } keep' "$root/bench/RESULTS.md" \
    >>"$root/bench/RESULTS.md.new"
fi
mv "$root/bench/RESULTS.md.new" "$root/bench/RESULTS.md"
rm -f "$disk"/sizes-*.txt
echo "wrote bench/RESULTS.md (raw figures: $results)" >&2
