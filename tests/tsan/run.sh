#!/usr/bin/env bash
# The export's reading ahead under ThreadSanitizer: the stand-in's tests, then exports of
# generated stores (sound, damaged, ANSI in a code page, in Outlook's charset), from a build
# configured with -DTARNVEX_TSAN=ON. Any report of ThreadSanitizer fails the run.
#
#   tests/tsan/run.sh BUILD_FOLDER
set -euo pipefail
build=${1:?usage: tests/tsan/run.sh BUILD_FOLDER}
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bin/platform_standin_tests" --gtest_brief=1

# export NAME PSTGEN-ARGS... -- EXPORT-ARGS...: one export of a generated store into a fresh
# folder; failures of damaged items are expected, a report of ThreadSanitizer is not.
export_store() {
  local name=$1 status=0
  shift
  local generate=() args=()
  while [ "$1" != -- ]; do generate+=("$1"); shift; done
  shift
  args=("$@")
  "$build/bin/tarnvex-pstgen" "${generate[@]}" --out "$work/$name.pst" >/dev/null
  mkdir "$work/$name"
  "$build/bin/tarnvex-export" --pst "$work/$name.pst" --out "$work/$name" --quiet "${args[@]}" \
    >"$work/$name.out" 2>"$work/$name.err" || status=$?
  if [ "$status" -eq 66 ] || grep -q ThreadSanitizer "$work/$name.err"; then
    cat "$work/$name.err" >&2
    echo "tests/tsan/run.sh: ThreadSanitizer reported on the export of $name" >&2
    exit 1
  fi
  if [ "$status" -gt 1 ]; then
    cat "$work/$name.err" >&2
    echo "tests/tsan/run.sh: the export of $name failed ($status)" >&2
    exit 1
  fi
  echo "$name: $(tail -1 "$work/$name.out")"
}

export_store sound --generate 2000 --folders 3 --
export_store damaged --from "$work/sound.pst" --flip-bytes 64 --seed 3 -- --charset outlook
export_store ansi --generate 500 --format ansi -- --codepage 932 --vcard-version 3.0
export_store ost2013 --generate 500 --format ost2013 -- --vcard-version 4.0
