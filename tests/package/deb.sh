#!/usr/bin/env bash
# Tests the Debian package that scripts/package left in dist/: lintian finds no error; it installs
# into a fresh root with dpkg --root and is removed from it without a trace; every library its
# programs link comes from a package it depends on; the installed tarnvex-export exports a
# generated store; the window program finds its skin and cursor through its link in bin/; the
# manual pages render without warnings, the metadata validates and the bash completion completes.
#
#   tests/package/deb.sh [DEB]     (default: the one .deb in dist/)
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=${1:-$(ls dist/tarnvex-card-exporter_*.deb)}
pstgen=build/bin/tarnvex-pstgen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# lintian: errors fail the test, warnings are shown.
lintian --allow-root --fail-on error "$deb" && pass "lintian reports no error" ||
  fail "lintian reports errors"

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
# The root holds no other package, so the dependencies are checked below instead of by dpkg.
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless -i "$deb" \
  >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg --root -i"; }

depends=$(dpkg-deb -f "$deb" Depends)
for program in "$root/usr/bin/tarnvex-export" "$root/usr/lib/tarnvex-card-exporter/tarnvex-card-exporter"; do
  while read -r library; do
    # Whole outputs are read (no early exit): a reader that stops early would end the writer
    # with SIGPIPE, which pipefail turns into a failure.
    path=$(ldconfig -p | awk -v lib="$library" '$1 == lib && /x86-64/ && !found { print $NF; found = 1 }')
    package=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | sed -n '1s/:.*//p') || true
    if [ -z "$package" ]; then package=$(dpkg -S "$path" 2>/dev/null | sed -n '1s/:.*//p') || true; fi
    if [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]]; then :; else
      fail "$(basename "$program") links $library from $package, which Depends does not name"
    fi
  done < <(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')
done
pass "Depends names the package of every linked library ($depends)"

[ "$("$root/usr/bin/tarnvex-export" --version)" = "tarnvex-export $(dpkg-deb -f "$deb" Version)" ] &&
  pass "tarnvex-export --version" || fail "tarnvex-export --version"

"$pstgen" --generate 40 --seed 3 --out "$work/store.pst" >/dev/null
mkdir "$work/cards"
"$root/usr/bin/tarnvex-export" --quiet --pst "$work/store.pst" --out "$work/cards" >"$work/out.txt"
written=$(sed -n 's/^\([0-9]*\) cards written.*/\1/p' "$work/out.txt")
cards=$(find "$work/cards" -name '*.vcf' | wc -l)
if [ "$(head -n 1 "$work/out.txt")" = "Done." ] && [ "$written" -ge 40 ] && [ "$cards" = "$written" ]; then
  pass "the installed tarnvex-export wrote $cards cards"
else
  fail "export: $(tr '\n' ' ' <"$work/out.txt"), $cards files"
fi

program=$(readlink -f "$root/usr/bin/tarnvex-card-exporter")
[ "$program" = "$root/usr/lib/tarnvex-card-exporter/tarnvex-card-exporter" ] &&
  [ -f "$(dirname "$program")/HAND-M.CUR" ] && [ -f "$(dirname "$program")/x/o.cjs" ] &&
  pass "the window program's link leads to its folder with HAND-M.CUR and x/o.cjs" ||
  fail "the window program's folder"
if ldd "$program" | grep 'not found' >/dev/null; then fail "the window program misses a library"; fi

appstreamcli validate --no-net --pedantic \
  "$root/usr/share/metainfo/tarnvex-card-exporter.metainfo.xml" >"$work/appstream.log" 2>&1 &&
  desktop-file-validate "$root/usr/share/applications/tarnvex-card-exporter.desktop" &&
  pass "AppStream metadata and desktop entry validate" ||
  fail "AppStream metadata or desktop entry: $(cat "$work/appstream.log")"

for page in tarnvex-export tarnvex-card-exporter; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" \
    2>&1 >/dev/null)
  [ -z "$warnings" ] && pass "man $page renders" || fail "man $page: $warnings"
done

completions() {
  # shellcheck disable=SC1091
  bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _tarnvex_export tarnvex-export "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ \
    "$root/usr/share/bash-completion/completions/tarnvex-export" "$@" | sort | tr '\n' ' '
}
[ "$(completions tarnvex-export --vcard-version '')" = "2.1 3.0 4.0 " ] &&
  [ "$(completions tarnvex-export --q)" = "--quiet " ] &&
  [ "$(completions tarnvex-export --default-contacts --ou)" = "--out " ] &&
  pass "bash completion" || fail "bash completion"

dpkg --root="$root" --force-not-root --force-script-chrootless --purge tarnvex-card-exporter \
  >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg --purge"; }
left=0
if [ -d "$root/usr" ]; then left=$(find "$root/usr" ! -type d | wc -l); fi
[ "$left" = 0 ] && pass "removal leaves no file" || fail "removal left $left files"

if [ "$failures" -gt 0 ]; then
  echo "$failures package test(s) failed" >&2
  exit 1
fi
echo "Debian package: every test passed"
