#!/usr/bin/env bash
# Tests the Windows packages that scripts/package left in dist/, in a wine prefix of its own made
# for the test by the Windows build's wine runner (build-windows/wine-run): both executables and the installer carry version information; the installer runs
# silently (/S), puts exactly its files into Program Files, a Start menu entry (with the window
# program) and an uninstall entry in Apps & features; the installed tarnvex-export.exe exports a
# generated store; the uninstaller, run silently, removes every file and entry it made and
# nothing else; the portable zip's tarnvex-export.exe runs.
#
#   tests/package/windows.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
version=$(sed -n 's/^project(tarnvex VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
installer=dist/tarnvex-card-exporter-${version}-setup.exe
zip=dist/tarnvex-card-exporter-${version}-windows-x64.zip
pstgen=build/bin/tarnvex-pstgen
work=$(mktemp -d)
# The Windows build's wine runner, on a prefix of the test's own; no Start menu entries become
# Linux desktop files.
wine=build-windows/wine-run
export TARNVEX_WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  "$wine" --stop || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Version information, read from the files' resources.
unzip -q "$zip" -d "$work/portable"
portable="$work/portable/Tarnvex Card Exporter"
# The licence, and the notices of the code linked in, in both packages (the installer puts
# exactly the zip's files in place, checked below).
if grep -q '^MIT License' "$portable/LICENSE.txt" 2>/dev/null &&
  grep -q 'winpthreads' "$portable/THIRD-PARTY-NOTICES.txt" 2>/dev/null; then
  pass "the licence and the notices are in the packages"
else
  fail "LICENSE.txt or THIRD-PARTY-NOTICES.txt is missing from the portable zip"
fi
versions=$(/usr/bin/python3 - "$version" "$installer" "$portable"/*.exe <<'PY'
import sys, pefile
version = sys.argv[1]
for path in sys.argv[2:]:
    pe = pefile.PE(path, fast_load=False)
    strings = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    ok = strings.get("ProductName") == "Tarnvex Card Exporter" and \
        strings.get("ProductVersion") == version and strings.get("FileVersion") == version
    print(("ok" if ok else "bad"), path.split("/")[-1], strings.get("FileDescription"))
PY
)
if grep -q '^bad' <<<"$versions"; then fail "version information: $versions"; else
  pass "version information in $(wc -l <<<"$versions") files"; fi

"$wine" --boot
drive_c=$TARNVEX_WINEPREFIX/drive_c
folder="$drive_c/Program Files/Tarnvex Card Exporter"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnvex Card Exporter'

"$wine" "$installer" /S </dev/null >/dev/null 2>&1 ||
  fail "the installer failed (status $?)"
expected=$(cd "$portable" && find . -type f | sed 's|^\./||'; echo uninstall.exe)
installed=$(cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||')
if [ "$(sort <<<"$installed")" = "$(sort <<<"$expected")" ]; then
  pass "installed exactly: $(sort <<<"$installed" | tr '\n' ' ')"
else
  fail "installed files: [$(tr '\n' ' ' <<<"$installed")], expected [$(tr '\n' ' ' <<<"$expected")]"
fi
has_window=false
if [ -f "$portable/tarnvex-card-exporter.exe" ]; then has_window=true; fi
if $has_window; then
  [ -f "$start_menu/Tarnvex Card Exporter.lnk" ] && pass "Start menu entry" ||
    fail "no Start menu entry"
fi
entry=$("$wine" reg query "$uninstall_key" </dev/null 2>/dev/null | tr -d '\r')
grep -q 'DisplayName.*Tarnvex Card Exporter' <<<"$entry" &&
  grep -q "DisplayVersion.*$version" <<<"$entry" &&
  grep -q 'UninstallString.*uninstall.exe' <<<"$entry" &&
  pass "uninstall entry in Apps & features" || fail "uninstall entry: $entry"

# The installed command line exports a generated store. With Outlook absent from the prefix it
# reads the file itself.
"$pstgen" --generate 30 --seed 5 --out "$drive_c/store.pst" >/dev/null
mkdir "$drive_c/cards"
options=()
if "$wine" "$folder/tarnvex-export.exe" --help </dev/null 2>/dev/null | grep -- --no-outlook >/dev/null; then
  options+=(--no-outlook)
fi
output=$("$wine" "$folder/tarnvex-export.exe" --quiet "${options[@]}" --pst 'C:\store.pst' \
  --out 'C:\cards' </dev/null 2>"$work/stderr" | tr -d '\r') || true
cards=$(find "$drive_c/cards" -name '*.vcf' | wc -l)
if [ "$(head -n 1 <<<"$output")" = "Done." ] && [ "$cards" -ge 30 ]; then
  pass "the installed tarnvex-export.exe wrote $cards cards"
else
  fail "installed export: $output $(cat "$work/stderr") ($cards cards)"
fi

# A file of the user's own in the program's folder outlives the uninstaller.
echo "/* mine */" >"$folder/x/mine.cjs"
"$wine" "$folder/uninstall.exe" /S </dev/null >/dev/null 2>&1 || true
# The uninstaller runs from a copy of itself in the temporary folder: wait for it to finish.
for _ in $(seq 120); do
  if [ ! -e "$folder/uninstall.exe" ]; then break; fi
  sleep 0.5
done
sleep 1
left=$(cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||' | tr '\n' ' ')
[ "$left" = "x/mine.cjs " ] && pass "the uninstaller removed its files and left the user's" ||
  fail "after uninstalling: [$left] remain"
if [ -e "$start_menu/Tarnvex Card Exporter.lnk" ]; then fail "the Start menu entry remains"; fi
if "$wine" reg query "$uninstall_key" </dev/null >/dev/null 2>&1; then
  fail "the uninstall entry remains"
fi

[ "$("$wine" "$portable/tarnvex-export.exe" --version </dev/null 2>/dev/null | tr -d '\r')" = \
  "tarnvex-export $version" ] && pass "the portable tarnvex-export.exe runs" ||
  fail "the portable tarnvex-export.exe"

if [ "$failures" -gt 0 ]; then
  echo "$failures Windows package test(s) failed" >&2
  exit 1
fi
echo "Windows packages: every test passed"
