#!/usr/bin/env bash
# Export benchmark: generated PSTs of 1,000, 10,000 and 100,000 contacts; wall time and peak
# memory of tarnvex-export against readpst -S -cv on the same file and against the floor (the
# same number of files of the same sizes, written with nothing else to do). Writes
# bench/RESULTS.md. Not part of ./scripts/test.
#
# Usage: bench/run.sh [SIZES...]   (default: 1000 10000 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BENCH_BUILD:-$root/build-bench}
work=${BENCH_WORK:-/tmp/tarnvex-bench}
runs=${BENCH_RUNS:-3}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000 100000)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVEX_GUI=OFF -DTARNVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target tarnvex-export tarnvex-bench-pst tarnvex-bench-floor -j2 >/dev/null
mkdir -p "$work"

# measure NAME COMMAND...: runs the command under /usr/bin/time -v; sets WALL (s) and PEAK (KiB).
measure() {
  local log="$work/time.log" start end
  # The cards of the run before are still being written back to the disk; that would slow this
  # one down.
  sync
  start=$(date +%s%N)
  /usr/bin/time -v -o "$log" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  # Wall time in nanoseconds around the run: /usr/bin/time gives only hundredths of a second.
  WALL=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
  PEAK=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
}

# keep PREFIX: the fastest WALL into PREFIX_wall, the highest PEAK into PREFIX_peak.
keep() {
  local w="${1}_wall" p="${1}_peak"
  if [ -z "${!w}" ] || awk -v a="$WALL" -v b="${!w}" 'BEGIN { exit !(a < b) }'; then
    printf -v "$w" '%s' "$WALL"
  fi
  [ "$PEAK" -le "${!p}" ] || printf -v "$p" '%s' "$PEAK"
}

# Output folders are removed only at the very end: on ext4 a folder full of files just deleted
# slows the creation of new files, which would punish whichever run came next.
rows=()
for n in "${sizes[@]}"; do
  pst="$work/contacts-$n.pst"
  [ -f "$pst" ] || "$build/bin/tarnvex-bench-pst" "$pst" "$n" >/dev/null
  sync

  # Each program runs BENCH_RUNS times (default 3), each round in another order, so that each
  # takes its turn first: on ext4 the files made first after many deletions cost the most (the
  # allocator inspects the freed inodes), which would otherwise always punish the same program.
  # The fastest wall time of each counts (the machine is shared, so slower runs measure the
  # neighbours), the highest peak of each counts.
  ours_wall= rp_wall= fl_wall= ours_peak=0 rp_peak=0 fl_peak=0
  run_ours() {
    ours="$work/ours-$n-$run.$$"; mkdir -p "$ours"
    measure "$build/bin/tarnvex-export" --pst "$pst" --out "$ours" --quiet
    keep ours
    cards=$(find "$ours" -name '*.vcf' | wc -l)
    find "$ours" -name '*.vcf' -printf '%s\n' >"$work/sizes-$n.txt"
  }
  run_rp() {
    theirs="$work/readpst-$n-$run.$$"; mkdir -p "$theirs"
    measure readpst -S -cv -q -o "$theirs" "$pst"
    keep rp
  }
  run_fl() {
    floor="$work/floor-$n-$run.$$"; mkdir -p "$floor"
    measure "$build/bin/tarnvex-bench-floor" "$work/sizes-$n.txt" "$floor"
    keep fl
  }
  order=(ours rp fl)
  for ((run = 1; run <= runs; run++)); do
    for ((k = 0; k < 3; k++)); do
      "run_${order[(run - 1 + k) % 3]}"
    done
  done

  rows+=("$n $cards $ours_wall $ours_peak $rp_wall $rp_peak $fl_wall $fl_peak")
  echo "$n contacts: ours ${ours_wall}s ${ours_peak}KiB, readpst ${rp_wall}s ${rp_peak}KiB, floor ${fl_wall}s" >&2
done
rm -rf "$work"/ours-* "$work"/readpst-* "$work"/floor-*

{
  echo "# Export benchmark"
  echo
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/run.sh\` on $(uname -srm),"
  echo "$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores,"
  echo "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory; libpff $(pkg-config --modversion libpff),"
  echo "$(readpst -V 2>&1 | head -1). Stores written by \`tarnvex-bench-pst\` (one contact in"
  echo "ten with a photo, one in twenty-five with a 10 KB note); each run into a fresh folder;"
  echo "the fastest of $runs runs of each program, each round in another order."
  echo
  echo "| contacts | cards | tarnvex-export | peak | readpst -S -cv | peak | floor | ours / readpst | ours / floor | ms per contact |"
  echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  for row in "${rows[@]}"; do
    read -r n cards ow op rw rpk fw fp <<<"$row"
    awk -v n="$n" -v c="$cards" -v ow="$ow" -v op="$op" -v rw="$rw" -v rp="$rpk" -v fw="$fw" \
      'BEGIN { printf "| %d | %d | %.3f s | %.1f MiB | %.3f s | %.1f MiB | %.3f s | %.2f | %.2f | %.4f |\n",
               n, c, ow, op / 1024, rw, rp / 1024, fw, ow / (rw > 0 ? rw : 0.01), ow / (fw > 0 ? fw : 0.01), ow * 1000 / n }'
  done
  echo
  echo "## Targets"
  echo
  first=(${rows[0]}) last=(${rows[${#rows[@]}-1]})
  awk -v rows="$(printf '%s;' "${rows[@]}")" -v n1="${first[0]}" -v w1="${first[2]}" \
      -v n2="${last[0]}" -v w2="${last[2]}" -v p2="${last[3]}" -v f2="${last[6]}" 'BEGIN {
    k = split(rows, r, ";"); faster = "yes"
    for (i = 1; i <= k; i++) { if (r[i] == "") continue; split(r[i], v, " "); if (v[3] >= v[5]) faster = "no" }
    printf "- faster than readpst at every size: %s\n", faster
    printf "- within 2x of the floor at %d: %s (%.1fx)\n", n2, (w2 <= 2 * f2 ? "yes" : "no"), w2 / (f2 > 0 ? f2 : 0.01)
    printf "- peak memory under 100 MiB at %d: %s (%.1f MiB)\n", n2, (p2 < 102400 ? "yes" : "no"), p2 / 1024
    printf "- time per contact at %d no more than 1.3x that at %d: %s (%.1fx)\n", n2, n1,
           ((w2 / n2) <= 1.3 * (w1 / n1) ? "yes" : "no"), (w2 / n2) / ((w1 > 0 ? w1 : 0.01) / n1)
  }'
  echo
  echo "Where the time goes: bench/README.md."
} >"$root/bench/RESULTS.md.new"
mv "$root/bench/RESULTS.md.new" "$root/bench/RESULTS.md"
echo "wrote bench/RESULTS.md" >&2
