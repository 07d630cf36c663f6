#!/usr/bin/env bash
# What a mailbox's mails cost an export of its contacts: the same contacts in a store of their
# own, beside as many mails in the Inbox, and in the Inbox among the mails; tarnvex-export and
# readpst -S -cv in turn, each into a fresh empty folder on a tmpfs. Writes its section of
# bench/RESULTS.md ("## A mailbox of mails and a few contacts"), replacing the one there.
#
# Usage: bench/mailbox.sh [CONTACTS] [MAILS] [ROUNDS]   (default 100, 100000 and 5)
# Environment: BENCH_BUILD, BENCH_DISK and BENCH_TMPFS (bench/settings.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/settings.sh
contacts=${1:-100}
mails=${2:-100000}
rounds=${3:-5}

build_bench_programs
declare -A stores=(
  [contacts]="$disk/mailbox-$contacts-0.pst"
  [beside]="$disk/mailbox-$contacts-$mails.pst"
  [among]="$disk/mailbox-$contacts-$mails-in-inbox.pst"
)
[ -f "${stores[contacts]}" ] || "$build/bin/tarnvex-bench-pst" "${stores[contacts]}" "$contacts" >/dev/null
[ -f "${stores[beside]}" ] ||
  "$build/bin/tarnvex-bench-pst" "${stores[beside]}" "$contacts" --mails "$mails" >/dev/null
[ -f "${stores[among]}" ] ||
  "$build/bin/tarnvex-bench-pst" "${stores[among]}" "$contacts" --mails "$mails" --in-inbox >/dev/null
raw="$disk/mailbox.txt"
: >"$raw"

# run PROGRAM STORE: one timed run into a fresh folder of the tmpfs; checks the cards written.
run() {
  local program=$1 store=$2 out cards
  out=$(mktemp -d "$tmpfs/out-mailbox-XXXXXX")
  case $program in
    ours) measure "$build/bin/tarnvex-export" --pst "${stores[$store]}" --out "$out" --quiet ;;
    readpst) measure readpst -S -cv -q -o "$out" "${stores[$store]}" ;;
  esac
  cards=$(find "$out" -type f | wc -l)
  if [ "$program" = ours ] && [ "$cards" -ne "$contacts" ]; then
    echo "tarnvex-export wrote $cards cards of $store, not $contacts" >&2
    exit 1
  fi
  echo "$store $program $WALL $USER $SYS $PEAK" >>"$raw"
  rm -rf "$out"
}

for store in contacts beside among; do run ours "$store"; done  # warm the page cache
for ((r = 1; r <= rounds; r++)); do
  for store in contacts beside among; do
    run ours "$store"
    run readpst "$store"
  done
done

section=$(python3 - "$raw" "$contacts" "$mails" "$rounds" <<'EOF'
import statistics, sys, datetime
raw, contacts, mails, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
runs = {}
for line in open(raw):
    store, program, wall, user, system, peak = line.split()
    runs.setdefault((store, program), []).append((float(wall), float(user), float(system), int(peak)))
print("## A mailbox of mails and a few contacts")
print()
print(f"`bench/mailbox.sh {contacts} {mails} {rounds}`, {datetime.datetime.utcnow():%Y-%m-%d %H:%M} UTC:")
print(f"{contacts:,} contacts in a store of their own, beside {mails:,} mails in the Inbox, and in")
print("the Inbox among the mails (the export then takes them from the contents table's message")
print("classes, without opening the mails); on the tmpfs, the two programs in turn. Wall time is the")
print("median with the range of all runs.")
print()
print("| store | program | wall | user | sys | peak memory | / own store |")
print("|---|---|---:|---:|---:|---:|---:|")
labels = {"contacts": f"{contacts:,} contacts alone", "beside": f"+ {mails:,} mails in the Inbox",
          "among": f"{contacts:,} contacts among {mails:,} mails"}
for program in ("ours", "readpst"):
    base = statistics.median(w for w, _, _, _ in runs[("contacts", program)])
    for store in ("contacts", "beside", "among"):
        rows = runs[(store, program)]
        walls = [w for w, _, _, _ in rows]
        wall = statistics.median(walls)
        user = statistics.median(u for _, u, _, _ in rows)
        system = statistics.median(s for _, _, s, _ in rows)
        peak = statistics.median(p for _, _, _, p in rows) / 1024
        name = "tarnvex-export" if program == "ours" else "readpst -S -cv"
        print(f"| {labels[store]} | {name} | {wall:.3f} s ({min(walls):.3f}-{max(walls):.3f}) "
              f"| {user:.2f} s | {system:.2f} s | {peak:.0f} MiB | {wall / base:.1f} |")
EOF
)
write_section "A mailbox of mails and a few contacts" "$section"
echo "wrote the mailbox section of bench/RESULTS.md (raw figures: $raw)" >&2
