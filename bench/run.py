#!/usr/bin/env python3
"""Runs the benchmark programs in Tivane, Lua 5.4 and Python 3 side by side.

Each program is run RUNS times per language; the table shows the median wall time, the
ratios Tivane/Lua and Tivane/Python, and each language's peak resident memory. Checksums must agree across the three languages, or the script says so and fails.

Usage: bench/run.py [--runs N] [--tivane PATH] [--core]

--core runs build-release/tivane-corerun, the interpreter without the window and movie
libraries, so that process start-up does not hide the language's own speed.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = ["a_loop", "b_fib", "c_array", "d_string", "e_trig", "f_sieve", "g_branch", "h_call",
            "i_double"]


def run_once(cmd):
    """Returns (stdout, seconds, peak RSS in KiB) of one run."""
    # GNU time reports the program's own peak resident memory (%M, in KiB) into a file.
    with tempfile.NamedTemporaryFile("r") as rss_file:
        start = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_file.name] + cmd,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        seconds = time.perf_counter() - start
        if proc.returncode != 0:
            sys.exit("%s failed: %s" % (" ".join(cmd), proc.stderr.decode()))
        rss = int(rss_file.read().split()[-1])
    return proc.stdout.decode().strip().strip('"'), seconds, rss


def measure(cmd, runs):
    times = []
    checksum = None
    rss = 0
    for _ in range(runs):
        out, seconds, peak = run_once(cmd)
        if checksum is not None and out != checksum:
            sys.exit("checksum changed between runs: %s / %s" % (checksum, out))
        checksum = out
        times.append(seconds)
        rss = max(rss, peak)
    return checksum, statistics.median(times), rss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--tivane", default=os.path.join(HERE, "..", "build-release", "tivane-run"))
    parser.add_argument("--core", action="store_true")
    args = parser.parse_args()
    tivane = [args.tivane, "--bare"]
    if args.core:
        tivane = [os.path.join(HERE, "..", "build-release", "tivane-corerun")]

    languages = [
        ("Tivane", lambda p: tivane + [os.path.join(HERE, "programs", p + ".prg")]),
        ("Lua 5.4", lambda p: ["lua5.4", os.path.join(HERE, "programs", p + ".lua")]),
        ("Python 3", lambda p: ["/usr/bin/python3", os.path.join(HERE, "programs", p + ".py")]),
    ]
    print("%d runs each; median wall time in seconds, peak RSS in MiB" % args.runs)
    print("%-9s %9s %9s %9s %8s %8s %8s %8s %8s %10s" % (
        "program", "Tivane", "Lua", "Python", "T/Lua", "T/Py", "T MiB", "Lua MiB", "Py MiB",
        "checksum"))
    failed = False
    for p in PROGRAMS:
        results = [measure(make(p), args.runs) for _, make in languages]
        sums = {r[0] for r in results}
        if len(sums) != 1:
            failed = True
        t, l, y = (r[1] for r in results)
        print("%-9s %9.3f %9.3f %9.3f %8.2f %8.2f %8.1f %8.1f %8.1f %10s" % (
            p, t, l, y, t / l, t / y, results[0][2] / 1024, results[1][2] / 1024,
            results[2][2] / 1024, results[0][0] if len(sums) == 1 else "MISMATCH " + str(sums)))
    if failed:
        sys.exit("checksums differ between languages")


if __name__ == "__main__":
    main()
