#!/usr/bin/env python3
"""Times two builds and Lua 5.4 side by side on bench/programs, interleaved round by round, so
that a change in the machine's load hits all of them alike.

Usage: bench/side.py OLD_BUILD NEW_BUILD [RUNS]  (build directories made by bench/run.sh)

For each program, each build's tivane-corerun (the language core alone) and tivane-run --bare
(the whole process) run once per round beside lua5.4. The table gives the median wall time in
seconds, then each build's ratio to Lua; a second row per program gives the least user+system
CPU time of the rounds and its ratios.
"""
import os
import resource
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = ["a_loop", "b_fib", "c_array", "d_string", "e_trig", "f_sieve", "g_branch", "h_call",
            "i_double"]


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    old, new = (os.path.abspath(d) for d in sys.argv[1:3])
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 9
    path = lambda p, ext: os.path.join(HERE, "programs", p + ext)
    cmds = {
        "old core": lambda p: [os.path.join(old, "tivane-corerun"), path(p, ".prg")],
        "new core": lambda p: [os.path.join(new, "tivane-corerun"), path(p, ".prg")],
        "old run": lambda p: [os.path.join(old, "tivane-run"), "--bare", path(p, ".prg")],
        "new run": lambda p: [os.path.join(new, "tivane-run"), "--bare", path(p, ".prg")],
        "lua": lambda p: ["lua5.4", path(p, ".lua")],
    }
    timed = [k for k in cmds if k != "lua"]
    print("| program | " + " | ".join(cmds) + " | " + " | ".join(k + "/Lua" for k in timed) + " |")
    print("|---" * (len(cmds) + len(timed) + 1) + "|")
    for p in PROGRAMS:
        wall = {k: [] for k in cmds}
        cpu = {k: [] for k in cmds}
        for _ in range(runs):
            for k, cmd in cmds.items():
                c0, t0 = children_cpu(), time.perf_counter()
                subprocess.run(cmd(p), stdout=subprocess.DEVNULL, check=True)
                wall[k].append(time.perf_counter() - t0)
                cpu[k].append(children_cpu() - c0)
        for label, values, pick in ((p, wall, statistics.median), (p + " (min CPU)", cpu, min)):
            m = {k: pick(v) for k, v in values.items()}
            print("| %s | " % label + " | ".join("%.3f" % m[k] for k in cmds) + " | " +
                  " | ".join("%.2f" % (m[k] / m["lua"]) for k in timed) + " |")


if __name__ == "__main__":
    main()
