# The settings and programs of the benchmark scripts; sourced by them, from the project's root.
# Environment: BENCH_BUILD (default build-bench), BENCH_DISK (a folder on the disk, default
# /var/tmp/tarnvex-bench), BENCH_TMPFS (a folder on a tmpfs, default /dev/shm/tarnvex-bench).
root=$PWD
build=${BENCH_BUILD:-$root/build-bench}
disk=${BENCH_DISK:-/var/tmp/tarnvex-bench}
tmpfs=${BENCH_TMPFS:-/dev/shm/tarnvex-bench}

# Builds the release programs the benchmarks run and makes their folders.
build_bench_programs() {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVEX_GUI=OFF -DTARNVEX_TESTS=OFF \
    >/dev/null
  cmake --build "$build" --target tarnvex-export tarnvex-bench-pst tarnvex-bench-floor tarnvex-pstgen \
    -j2 >/dev/null
  mkdir -p "$disk" "$tmpfs"
}

# measure COMMAND...: runs the command; sets WALL, USER, SYS (s) and PEAK (KiB).
measure() {
  local log="$disk/time.log" start end
  sync  # the cards of the run before are still being written back: that would slow this one
  start=$(date +%s%N)
  /usr/bin/time -f '%U %S %M' -o "$log" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  WALL=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
  read -r USER SYS PEAK <"$log"
}

# write_section TITLE TEXT: puts TEXT, which starts with the heading "## TITLE", into
# bench/RESULTS.md in place of the section of that title, or at its end.
write_section() {
  local title=$1 text=$2 results="$root/bench/RESULTS.md"
  if [ -f "$results" ]; then
    awk -v heading="## $title" '$0 == heading { skip = 1; next } /^## / { skip = 0 } !skip' \
      "$results" >"$results.new"
  else
    : >"$results.new"
  fi
  sed -i -e :a -e '/^\n*$/{$d;N;ba' -e '}' "$results.new"  # no blank lines at the end
  printf '\n%s\n' "$text" >>"$results.new"
  mv "$results.new" "$results"
}
