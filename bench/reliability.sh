#!/usr/bin/env bash
# Damage campaign: thousands of damaged copies of a 1,000-contact store through tarnvex-export
# built with AddressSanitizer and UndefinedBehaviorSanitizer, each run with a time-out. Counts
# crashes, sanitizer reports, hangs and runs whose accounting does not add up, and writes
# bench/RELIABILITY.md from the counts of every build label measured so far
# (bench/reliability/LABEL.tsv). Not part of ./scripts/test.
#
# Usage: bench/reliability.sh [LABEL]       (LABEL names the build measured, default "current")
# Environment:
#   RELIABILITY_BUILD  build folder with tarnvex-export and tarnvex-pstgen (default build-asan;
#                      configured and built with TARNVEX_SANITIZE=ON when it has no programs)
#   RELIABILITY_EXPORT, RELIABILITY_PSTGEN  the programs, when not those of RELIABILITY_BUILD
#                      (say, tarnvex-export of an older build, with today's damage kinds)
#   RELIABILITY_COMMIT the commit the measured tarnvex-export was built from (default HEAD)
#   RELIABILITY_WORK   scratch folder, best on a tmpfs (default /dev/shm/tarnvex-reliability)
#   RELIABILITY_JOBS   runs side by side (default 2); RELIABILITY_TIMEOUT seconds per run (30)
#   RELIABILITY_FLIPS  seeds per flip size (default 700: 1, 8 and 64 bytes)
#   RELIABILITY_FORMAT the store's format: unicode (default) or ansi (32-bit)
#   RELIABILITY_STEP   bytes between two truncations (default 4096)
#   RELIABILITY_ZEROS  zeroed pages (default 300)
#   RELIABILITY_READPST readpst to run on the same variants (default: readpst on the PATH, from
#                      Debian's pst-utils; "none" leaves it out)
#
# Beside each run of tarnvex-export, readpst (libpst) exports the same variant's contacts as
# vCards (readpst -tc -cv), with the same time-out; per damage kind the campaign counts the cards
# each writes, and of ours those written from damaged data (reported among the run's failures).
# A run's accounting adds up when either
#   - it ends "Done." and its summary "N cards written, M items passed over, K failures" gives
#     N + M + K == the items of the store as written, or fewer only where a folder or the whole
#     store was refused with a report of its own (a report at line 130-139), or where a folder
#     reports that its items or subfolders may be missing (a damaged node index page lost them
#     and the folder's table that would name them cannot be used either), and never more cards
#     and passed-over items than items; or
#   - it does not end "Done." and says why on standard error (a refused file).
# A run that ends without its summary and without a word, or whose summary does not add up, is
# counted under "accounting".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
label=${1:-current}
build=${RELIABILITY_BUILD:-$root/build-asan}
work=${RELIABILITY_WORK:-/dev/shm/tarnvex-reliability}/$label
jobs=${RELIABILITY_JOBS:-2}
timeout=${RELIABILITY_TIMEOUT:-30}
flips=${RELIABILITY_FLIPS:-700}
format=${RELIABILITY_FORMAT:-unicode}
step=${RELIABILITY_STEP:-4096}
zeros=${RELIABILITY_ZEROS:-300}
readpst=${RELIABILITY_READPST:-$(command -v readpst || echo none)}

export_bin=${RELIABILITY_EXPORT:-$build/bin/tarnvex-export}
pstgen=${RELIABILITY_PSTGEN:-$build/bin/tarnvex-pstgen}
if [ ! -x "$export_bin" ] || [ ! -x "$pstgen" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVEX_SANITIZE=ON \
    -DTARNVEX_GUI=OFF -DTARNVEX_TESTS=OFF >/dev/null
  nice cmake --build "$build" --target tarnvex-export tarnvex-pstgen -j2 >/dev/null
fi

rm -rf "$work"
mkdir -p "$work/variants" "$work/runs"
source_pst=$work/source.pst
# Photos and long notes left out: the file stays small, so that a run is short; every structure
# the reader checks is still there.
line=$("$pstgen" --generate 1000 --seed 9 --no-photos --no-long-notes --format "$format" \
  --out "$source_pst")
size=$(stat -c %s "$source_pst")
echo "$line" >&2
# The items of the folders an export goes through, as written: what the sound store's export
# accounts for (it must write, pass over or fail each one, and fail none).
mkdir -p "$work/sound"
sound=$("$export_bin" --pst "$source_pst" --out "$work/sound" --quiet | tail -n 1)
read -r c p f < <(sed -n 's/^\([0-9]*\) cards\{0,1\} written, \([0-9]*\) items\{0,1\} passed over, \([0-9]*\) failures\{0,1\}.*/\1 \2 \3/p' <<<"$sound")
if [ -z "${f:-}" ] || [ "$f" != 0 ]; then
  echo "the sound store does not export cleanly: $sound" >&2
  exit 1
fi
items=$((c + p))
rm -rf "$work/sound"
echo "items in the exported folders: $items" >&2

# The variants: "NAME COMMAND..." lines, made by the workers themselves.
list=$work/variants.txt
: >"$list"
for ((at = step; at < size; at += step)); do
  echo "truncate-$at --truncate $at" >>"$list"
done
for count in 1 8 64; do
  for ((seed = 1; seed <= flips; ++seed)); do
    echo "flip$count-$seed --flip-bytes $count --seed $seed --flip-from 564" >>"$list"
  done
done
pages=$((size / 512))
for ((i = 1; i <= zeros; ++i)); do
  echo "zero-page-$(((i * 7919) % pages)) zero $(((i * 7919) % pages))" >>"$list"
done
for ((n = 0; n < 100; ++n)); do
  echo "orphan-$n --orphan-message $((n * 13))" >>"$list"
  echo "drop-node-$n --drop-message-node $((n * 17))" >>"$list"
  echo "misplace-block-$n --misplace-block $((n * 31))" >>"$list"
done
for ((n = 0; n < 60; ++n)); do
  echo "miscount-page-$n --miscount-page $n" >>"$list"
done
echo "duplicate-node --duplicate-node auto" >>"$list"
echo "duplicate-node-unlike --duplicate-node auto --unlike" >>"$list"
echo "folder-cycle --folder-cycle auto" >>"$list"
variants=$(wc -l <"$list")

# One run: makes the variant, exports it, classifies the outcome as one line of the results.
run_one() {
  local name=$1
  shift
  local pst=$work/variants/$name.pst out=$work/runs/$name rc=0
  if [ "$1" = zero ]; then
    cp "$source_pst" "$pst"
    dd if=/dev/zero of="$pst" bs=512 seek="$2" count=1 conv=notrunc status=none
  else
    "$pstgen" --from "$source_pst" --out "$pst" "$@" >/dev/null 2>&1 || {
      echo -e "$name\tskipped"
      rm -f "$pst"
      return 0
    }
  fi
  mkdir -p "$out/cards"
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    timeout -k 5 "$timeout" "$export_bin" --pst "$pst" --out "$out/cards" --quiet \
    >"$out/stdout" 2>"$out/stderr" || rc=$?
  local verdict=ok
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    verdict=hang
  elif grep -q -E "ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: UndefinedBehaviorSanitizer" "$out/stderr"; then
    verdict=sanitizer
  elif [ "$rc" -ge 128 ] || [ "$rc" = 2 ]; then
    verdict=crash
  else
    local summary
    summary=$(sed -n 's/^\([0-9]*\) cards\{0,1\} written, \([0-9]*\) items\{0,1\} passed over, \([0-9]*\) failures\{0,1\}.*/\1 \2 \3/p' "$out/stdout")
    if [ -n "$summary" ]; then
      local c p f
      read -r c p f <<<"$summary"
      if ((c + p > items)); then
        verdict=accounting
      elif ((c + p + f != items)) &&
        ! grep -q -E "at line 13[0-9]|(Items|Folders) may be missing from" "$out/stderr"; then
        verdict=accounting
      elif ((rc == 0 && c + p != items)); then
        verdict=accounting
      fi
    elif [ ! -s "$out/stderr" ]; then
      verdict=accounting  # ended without its summary and without a word
    fi
  fi
  local cards damaged
  cards=$(find "$out/cards" -name '*.vcf' | wc -l)
  damaged=$(grep -c "written from damaged data" "$out/stderr" || true)
  # readpst on the same file: the cards it writes, whatever their state (it says nothing of
  # damage); "-" for a run that crashed or hung.
  local rpcards=- rprc=-
  if [ "$readpst" != none ]; then
    mkdir -p "$out/readpst"
    rprc=0
    timeout -k 5 "$timeout" "$readpst" -q -tc -cv -o "$out/readpst" "$pst" \
      >/dev/null 2>&1 || rprc=$?
    rpcards=$(cat "$out/readpst"/* 2>/dev/null | grep -c "^BEGIN:VCARD" || true)
    rm -rf "$out/readpst"
  fi
  if [ "$verdict" = ok ]; then
    rm -rf "$out" "$pst"
  else
    rm -rf "$out/cards"
  fi
  echo -e "$name\t$verdict\t$rc\t$cards\t$damaged\t$rpcards\t$rprc"
}
export -f run_one
export work source_pst pstgen export_bin timeout items readpst

start=$(date +%s)
results=$work/results.tsv
xargs -P "$jobs" -L 1 bash -c 'run_one "$@"' _ <"$list" >"$results"
seconds=$(($(date +%s) - start))

count() { awk -F'\t' -v v="$1" '$2 == v' "$results" | wc -l; }
mkdir -p bench/reliability
{
  echo -e "label\tvariants\tskipped\tcrashes\tsanitizer\thangs\taccounting\tseconds\titems\tbytes\tformat\tcommit\tdate\tflips"
  echo -e "$label\t$variants\t$(count skipped)\t$(count crash)\t$(count sanitizer)\t$(count hang)\t$(count accounting)\t$seconds\t$items\t$size\t$format\t${RELIABILITY_COMMIT:-$(git rev-parse --short HEAD)}\t$(date +%F)\t$flips"
} >"bench/reliability/$label.tsv"
awk -F'\t' '$2 != "ok" && $2 != "skipped"' "$results" | cut -f1-3 | sort \
  >"bench/reliability/$label-findings.tsv"
# Cards per damage kind (the variant's name without its number): ours, of them from damaged
# data, readpst's, and readpst's runs that crashed (status 128 and above) or hung.
awk -F'\t' -v OFS='\t' '
  $2 != "skipped" {
    kind = $1; sub(/-[0-9]+$/, "", kind)
    if (!(kind in n)) order[++kinds] = kind
    n[kind]++; ours[kind] += $4; damaged[kind] += $5
    if ($6 != "-") theirs[kind] += $6
    if ($7 != "-" && $7 >= 124) rpfail[kind]++
  }
  END {
    print "kind", "variants", "cards", "from damaged data", "readpst cards", "readpst crashes or hangs"
    for (i = 1; i <= kinds; i++) {
      k = order[i]
      print k, n[k], ours[k], damaged[k], theirs[k] + 0, rpfail[k] + 0
    }
  }' "$results" >"bench/reliability/$label-kinds.tsv"

# RELIABILITY.md from every label measured.
{
  echo "# Reliability: the damage campaign"
  echo
  echo "Written by \`bench/reliability.sh LABEL\` (see its head for what a run is and when its"
  echo "accounting adds up). The store: \`tarnvex-pstgen --generate 1000 --seed 9 --no-photos"
  echo "--no-long-notes\` in the format of the table's \"store\" column. Its variants: a truncation at"
  echo "every 4 KiB (RELIABILITY_STEP), \"flips\" seeds each of 1, 8 and 64 changed bytes after the"
  echo "header, 300 zeroed 512-byte pages (RELIABILITY_ZEROS), and the damage kinds of"
  echo "\`tarnvex-pstgen\` that keep every check sum valid (a message whose parent folder does not"
  echo "exist, a message missing from the node index, a block past the end of the file, a node"
  echo "index page that counts one entry more or fewer, a node listed twice by entries alike and"
  echo "by entries that give it two parents, a folder loop)."
  echo "Each run: \`tarnvex-export --pst\` built with ASan and UBSan, $timeout s time-out,"
  echo "$jobs side by side. \"skipped\": a damage kind that found nothing to damage."
  echo
  echo "| build | store | commit, date | flips | variants | skipped | crashes | sanitizer reports | hangs | accounting does not add up | minutes |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
  for f in bench/reliability/*.tsv; do
    case $f in *-findings.tsv | *-kinds.tsv) continue ;; esac
    tail -n 1 "$f" | awk -F'\t' '{ printf "| %s | %s | %s, %s | %s | %s | %s | %s | %s | %s | %s | %.1f |\n", $1, $11, $12, $13, $14, $2, $3, $4, $5, $6, $7, $8 / 60 }'
  done
  echo
  echo "The runs behind each count other than zero: \`bench/reliability/LABEL-findings.tsv\`"
  echo "(variant, verdict, exit status)."
  echo
  echo "## Cards per damage kind, beside readpst"
  echo
  echo "\"cards\": the cards tarnvex-export wrote over all variants of the kind; \"from damaged"
  echo "data\": those of them reported among the run's failures as written from damaged data (a"
  echo "check sum failed under them and the reader read through, a part of the contact could not be"
  echo "read and was left out, or the message was found again by its folder's contents table);"
  echo "\"readpst\": the cards"
  echo "\`readpst -tc -cv\` (Debian's pst-utils) wrote from the same files, which it does not tell"
  echo "apart. Labels measured before readpst ran beside the export have no such table."
  for f in bench/reliability/*-kinds.tsv; do
    [ -e "$f" ] || continue
    echo
    echo "### $(basename "$f" -kinds.tsv)"
    echo
    echo "| kind | variants | cards | from damaged data | readpst cards | readpst crashes or hangs |"
    echo "|---|---|---|---|---|---|"
    tail -n +2 "$f" | awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6 }'
  done
  # Campaigns of builds no longer at hand, described by hand.
  if [ -f bench/reliability/history.md ]; then
    echo
    cat bench/reliability/history.md
  fi
} >bench/RELIABILITY.md
cat "bench/reliability/$label.tsv"
