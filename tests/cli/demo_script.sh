#!/usr/bin/env bash
# The README's first command after set-up: scripts/demo writes its sample store and a card per
# contact in each vCard version, and says where they are.
#   tests/cli/demo_script.sh BIN_FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
output=$(TARNVEX_BIN=$1 "$root/scripts/demo" "$work/cards")
failures=0
for version in 2.1 3.0 4.0; do
  count=$(find "$work/cards/$version" -name '*.vcf' | wc -l)
  if [ "$count" -ne 40 ]; then
    echo "FAIL: $count cards in $version, not 40" >&2
    failures=$((failures + 1))
  fi
done
if [ "$(grep -c '^40 cards written, [0-9]* items passed over, 0 failures$' <<<"$output")" -ne 3 ]; then
  echo "FAIL: not three summaries of 40 cards and no failure:" >&2
  echo "$output" >&2
  failures=$((failures + 1))
fi
grep -q "The cards are in $work/cards/2.1" <<<"$output" ||
  { echo "FAIL: the demo does not say where the cards are" >&2; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "ok: scripts/demo"
exit "$failures"
