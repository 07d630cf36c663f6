#!/usr/bin/env bash
# What writing each card safely costs: the floor (plain open, write, close) against the same
# files written as the export writes new cards (an unnamed file, named once complete), and the
# export itself, in turn, each into a fresh empty folder on a tmpfs. Writes its section of
# bench/RESULTS.md ("## What writing a card safely costs"), replacing the one there.
#
# Usage: bench/safe_write.sh [CONTACTS] [ROUNDS]   (default 100000 and 5)
# Environment: BENCH_BUILD, BENCH_DISK and BENCH_TMPFS (bench/settings.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/settings.sh
contacts=${1:-100000}
rounds=${2:-5}

build_bench_programs
pst="$disk/store-$contacts.pst"
[ -f "$pst" ] || "$build/bin/tarnvex-bench-pst" "$pst" "$contacts" >/dev/null
sizes="$disk/sizes-safe-write.txt"
raw="$disk/safe-write.txt"
: >"$raw"

# run NAME COMMAND...: one timed run into a fresh folder of the tmpfs ("OUT" in the command).
run() {
  local name=$1 out
  shift
  out=$(mktemp -d "$tmpfs/out-$name-XXXXXX")
  measure "${@//OUT/$out}"
  [ -f "$sizes" ] || find "$out" -name '*.vcf' -printf '%s\n' >"$sizes"
  echo "$name $WALL $USER $SYS" >>"$raw"
  rm -rf "$out"
}

rm -f "$sizes"
run warm-up "$build/bin/tarnvex-export" --pst "$pst" --out OUT --quiet  # the cards' sizes
for ((r = 1; r <= rounds; r++)); do
  run floor "$build/bin/tarnvex-bench-floor" "$sizes" OUT
  run unnamed "$build/bin/tarnvex-bench-floor" --unnamed "$sizes" OUT
  run export "$build/bin/tarnvex-export" --pst "$pst" --out OUT --quiet
done

section=$(python3 - "$raw" "$contacts" "$rounds" <<'EOF'
import statistics, sys, datetime
raw, contacts, rounds = sys.argv[1], int(sys.argv[2]), sys.argv[3]
runs = {}
for line in open(raw):
    name, wall, user, system = line.split()
    runs.setdefault(name, []).append((float(wall), float(user), float(system)))
floor = statistics.median(w for w, _, _ in runs["floor"])
print("## What writing a card safely costs")
print()
print(f"`bench/safe_write.sh {contacts} {rounds}`, {datetime.datetime.utcnow():%Y-%m-%d %H:%M} UTC:")
print(f"{contacts:,} files of the sizes the export wrote, on the tmpfs, the three in turn. The")
print("export never lets a card be seen half-written: each is written into an unnamed file of the")
print("folder (`O_TMPFILE`) and named once complete (`linkat` through /proc/self/fd). The floor")
print("writes the same files with plain open, write and close.")
print()
print("| | wall | user | sys | / floor |")
print("|---|---:|---:|---:|---:|")
labels = {"floor": "floor (open, write, close)", "unnamed": "floor, written as the export writes",
          "export": "tarnvex-export"}
for name in ("floor", "unnamed", "export"):
    walls = [w for w, _, _ in runs[name]]
    wall = statistics.median(walls)
    user = statistics.median(u for _, u, _ in runs[name])
    system = statistics.median(s for _, _, s in runs[name])
    print(f"| {labels[name]} | {wall:.3f} s ({min(walls):.3f}-{max(walls):.3f}) | {user:.2f} s "
          f"| {system:.2f} s | {wall / floor:.2f} |")
EOF
)
write_section "What writing a card safely costs" "$section"
rm -f "$sizes"
echo "wrote the safe-write section of bench/RESULTS.md (raw figures: $raw)" >&2
