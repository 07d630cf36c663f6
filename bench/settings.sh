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
  cmake --build "$build" --target tarnvex-export tarnvex-bench-pst tarnvex-bench-floor -j2 >/dev/null
  mkdir -p "$disk" "$tmpfs"
}
