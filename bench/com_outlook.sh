#!/usr/bin/env bash
# The cost of one export through Outlook's automation, measured against the test automation
# server out of process (a local server, as Outlook is) under wine: the calls that reach the
# server per contact and the time per contact. Prints the figures that bench/RESULTS.md records
# under "Outlook through automation". Not part of ./scripts/test.
#
# Usage: bench/com_outlook.sh [CONTACTS] [RUNS]     (default 1000 contacts, 3 runs)
# Needs the Linux build in build/ (tarnvex-pstgen) and the Windows build in build-windows/
# (tarnvex-export.exe, tarnvex-test-outlook.exe); BENCH_LINUX / BENCH_WINDOWS override them.
# Uses the Windows build's own wine prefix, which it starts (under an Xvfb of its own when
# DISPLAY is unset) and stops again.
set -euo pipefail
cd "$(dirname "$0")/.."
contacts=${1:-1000}
runs=${2:-3}
linux=${BENCH_LINUX:-build}
windows=${BENCH_WINDOWS:-build-windows}
run="$windows/wine-run"
prefix="$windows/wine-prefix"
work="$prefix/drive_c/tarnvex-com-bench"

xvfb=""
cleanup() {
  "$run" "$windows/bin/tarnvex-test-outlook.exe" /unregserver || true
  "$run" reg delete 'HKCU\Software\Tarnvex\TestOutlook' /f >/dev/null 2>&1 || true
  "$run" --stop || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :93 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=:93
  sleep 1
fi
"$run" --stop
"$run" --boot

rm -rf "$work"
mkdir -p "$work"
"$linux/bin/tarnvex-pstgen" --generate "$contacts" --out "$work/bench.pst" >/dev/null
"$run" "$windows/bin/tarnvex-test-outlook.exe" /regserver local
"$run" reg add 'HKCU\Software\Tarnvex\TestOutlook' /v CallLog /d 'C:\tarnvex-com-bench\calls.log' \
  /f >/dev/null 2>&1

best=""
for i in $(seq "$runs"); do
  rm -rf "$work/cards" "$work/calls.log"
  mkdir -p "$work/cards"
  start=$(date +%s%N)
  out=$("$run" "$windows/bin/tarnvex-export.exe" --pst 'C:\tarnvex-com-bench\bench.pst' \
    --out 'C:\tarnvex-com-bench\cards' --quiet)
  end=$(date +%s%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
  echo "run $i: $seconds s; $(echo "$out" | tail -n 1)"
  if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
    best=$seconds
  fi
done

cards=$(find "$work/cards" -name '*.vcf' | wc -l)
log="$work/calls.log"
total=$(wc -l <"$log")
lookups=$(grep -c '^GetIDsOfNames ' "$log" || true)
invokes=$(grep -c '^Invoke ' "$log" || true)
queries=$(grep -c '^QueryInterface ' "$log" || true)
# Calls by index (Items(i), Folders(i), Stores(i)) go to the default member, which needs no
# lookup; every other call by name would need one of its own without the kept dispatch ids.
indexed=$(grep -c '^Invoke [A-Za-z]*\.Item$' "$log" || true)
uncached=$((invokes + (invokes - indexed) + queries))
echo
echo "contacts: $contacts, cards written: $cards, runs: $runs"
echo "fastest run: $best s, $(awk -v s="$best" -v n="$contacts" 'BEGIN { printf "%.1f", s * 1000 / n }') ms per contact"
echo "calls received by the server in the last run: $total ($lookups GetIDsOfNames, $invokes Invoke, $queries QueryInterface)"
echo "calls per contact: $(awk -v t="$total" -v n="$contacts" 'BEGIN { printf "%.2f", t / n }')"
echo "calls per contact with a lookup before every call by name: $(awk -v t="$uncached" -v n="$contacts" 'BEGIN { printf "%.2f", t / n }')"
echo
echo "calls by member:"
sort "$log" | uniq -c | sort -rn
