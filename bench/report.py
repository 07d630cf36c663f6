#!/usr/bin/env python3
"""Turns bench/run.sh's raw figures into bench/RESULTS.md (on standard output).

Usage: report.py RESULTS-FILE SYSCALLS-PER-1000-CARDS READPST-VERSION
Each line of RESULTS-FILE: CASE FS PROGRAM WALL USER SYS PEAK-KIB (one timed run).
"""
import collections
import datetime
import os
import platform
import statistics
import sys

results, syscalls, readpst = sys.argv[1], sys.argv[2], sys.argv[3]
runs = collections.defaultdict(list)  # (case, fs, program) -> [(wall, user, sys, peak)]
order = []
for line in open(results):
    case, fs, program, *values = line.split()
    key = (case, fs, program)
    if (case, fs) not in order:
        order.append((case, fs))
    runs[key].append(tuple(float(v) for v in values))


def column(key, index):
    return [r[index] for r in runs[key]]


def median(key, index):
    return statistics.median(column(key, index)) if runs[key] else float("nan")


def spread(key, index, scale=1.0, unit="s", digits=3):
    values = column(key, index)
    if not values:
        return "n/a"
    return (f"{statistics.median(values) / scale:.{digits}f} {unit} "
            f"({min(values) / scale:.{digits}f}-{max(values) / scale:.{digits}f})")


def contacts(case):
    return int(case.split(":")[0])


def cpu_model():
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            return line.split(":", 1)[1].strip()
    return platform.processor()


print("# Export benchmark")
print()
print(f"Measured {datetime.datetime.utcnow():%Y-%m-%d %H:%M} UTC by `bench/run.sh` on "
      f"{platform.system()} {platform.release()} {platform.machine()}, {cpu_model()}, "
      f"{os.cpu_count()} cores; {readpst}.")
print("Stores written by `tarnvex-bench-pst` (one contact in ten with a photo, none at a million;")
print("one in twenty-five with a 10 KB note; `:equal`: nine in ten share one of five file-as")
print("texts), and `:generated` by `tarnvex-pstgen --generate` (fuller contacts: every field")
print("the generator knows, names in several scripts, photos). The programs take turns, each run")
print("into a fresh empty folder that is removed outside the timing (on the disk after the size's")
print("last round, and the next run waits until ext4 no longer passes over the freed inodes); `disk`")
print("is the machine's ext4, `tmpfs` is /dev/shm. Figures are medians, with the range of all runs in")
print("brackets; user time has the resolution of /usr/bin/time, 0.01 s.")
print()
print("| contacts | fs | runs | tarnvex-export wall | user | sys | peak | readpst -S -cv wall "
      "| user | peak | floor wall | ours / readpst | ours / floor | us per contact | user us per contact |")
print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for case, fs in order:
    ours, theirs, floor = ((case, fs, p) for p in ("ours", "readpst", "floor"))
    n = contacts(case)
    ow, rw, fw = median(ours, 0), median(theirs, 0), median(floor, 0)
    print(f"| {case} | {fs} | {len(runs[ours])} | {spread(ours, 0)} | {median(ours, 1):.2f} s "
          f"| {median(ours, 2):.2f} s | {median(ours, 3) / 1024:.1f} MiB | {spread(theirs, 0)} "
          f"| {median(theirs, 1):.2f} s | {median(theirs, 3) / 1024:.1f} MiB | {spread(floor, 0)} "
          f"| {ow / rw:.2f} | {ow / fw:.2f} | {ow * 1e6 / n:.1f} "
          f"| {median(ours, 1) * 1e6 / n:.1f} |")
print()
print("## Targets")
print()
plain = [(c, f) for c, f in order if ":" not in c]
slower = [f"{c} on {f}: {median((c, f, 'ours'), 0) / median((c, f, 'readpst'), 0):.2f}x"
          for c, f in plain
          if median((c, f, "ours"), 0) > 0.6 * median((c, f, "readpst"), 0)]
print(f"- at most 0.6x readpst's wall time at every size on both file systems: "
      f"{'yes' if not slower else 'no (' + ', '.join(slower) + ')'}")
for case, fs in order:
    if case == "100000" and fs == "tmpfs":
        ratio = median((case, fs, "ours"), 0) / median((case, fs, "floor"), 0)
        print(f"- within 1.5x of the floor at 100,000 on tmpfs: "
              f"{'yes' if ratio <= 1.5 else 'no'} ({ratio:.2f}x)")
for fs in ("disk", "tmpfs"):
    small = [(c, f) for c, f in plain if f == fs and contacts(c) == 1000]
    big = [(c, f) for c, f in plain if f == fs and contacts(c) == 1000000]
    if small and big:
        per_small = median((*small[0], "ours"), 0) / 1000
        per_big = median((*big[0], "ours"), 0) / 1000000
        print(f"- time per contact at 1,000,000 at most 1.2x that at 1,000 ({fs}): "
              f"{'yes' if per_big <= 1.2 * per_small else 'no'} ({per_big / per_small:.2f}x)")
        peak = max(column((*big[0], "ours"), 3)) / 1024
        print(f"- peak memory at 1,000,000 under 256 MiB ({fs}): "
              f"{'yes' if peak < 256 else 'no'} ({peak:.1f} MiB)")
generated = [(c, f) for c, f in order if c.endswith(":generated")]
if generated:
    users = {f"{c} on {f}": median((c, f, "ours"), 1) * 1e6 / contacts(c) for c, f in generated}
    over = [f"{k}: {v:.1f}" for k, v in users.items() if v > 8]
    print(f"- user time at most 8 us per contact on the generated stores: "
          f"{'yes' if not over else 'no (' + ', '.join(over) + ')'} "
          f"(highest {max(users.values()):.1f} us)")
for fs in ("disk", "tmpfs"):
    eq = [(c, f) for c, f in order if f == fs and c.endswith(":equal")]
    if len(eq) >= 2:
        first, last = eq[0], eq[-1]
        a = median((*first, "ours"), 0) / contacts(first[0])
        b = median((*last, "ours"), 0) / contacts(last[0])
        print(f"- many equal names ({fs}): time per contact at {contacts(last[0]):,} is "
              f"{b / a:.2f}x that at {contacts(first[0]):,}")
if syscalls:
    print(f"- system calls of one export of 1,000 contacts (strace -c -f): {syscalls}, "
          f"{int(syscalls) / 1000:.1f} per card")
print()
print("Where the time goes: bench/README.md.")
