#!/usr/bin/env python3
"""Times Execute in the application's window against the same Execute headless.

Each document is executed RUNS times by `tivane` (TIVANE_BENCH=execute: it opens the document,
executes it once, prints the seconds Execute took and quits) and by `tivane-run` (the same
variable prints the same measure); the table shows the medians and their ratio. Start-up is
the wall time of `tivane` until its first painted window (TIVANE_BENCH=paint). The pendulum
example run for 3000 s of model time times a text window that shows 6000 rows one by one.

Usage: bench/app/measure.py [--runs N] [--bin DIR] [--only NAME] [--segments N]
(--only times only the documents whose name holds NAME; --segments sets the drawing's count)
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PROGRAMS = ["a_loop", "b_fib", "c_array", "d_string", "e_trig", "f_sieve"]


def execute_seconds(cmd, cwd):
    env = dict(os.environ, TIVANE_BENCH="execute")
    proc = subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, timeout=600)
    for line in proc.stderr.splitlines():
        if line.startswith("execute_seconds "):
            return float(line.split()[1])
    sys.exit("no timing from %s:\n%s" % (" ".join(cmd), proc.stderr))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--bin", default=os.path.join(ROOT, "build-release"))
    parser.add_argument("--only", default="", help="time only the documents whose name has this")
    parser.add_argument("--segments", type=int, default=200000)
    args = parser.parse_args()
    app = os.path.join(args.bin, "tivane")
    runner = os.path.join(args.bin, "tivane-run")

    work = tempfile.mkdtemp(prefix="tivane-bench-app-")
    try:
        # Empty default programs in the working directory, which is searched first: no
        # message box waits for a person.
        for name in ("default.prg", "defaultt.prg", "defaultg.prg"):
            open(os.path.join(work, name), "w").close()
        documents = []
        for name in PROGRAMS:
            # A document without a template runs its main input as the program.
            doc = os.path.join(work, name + ".tvd")
            shutil.copy(os.path.join(ROOT, "bench", "programs", name + ".prg"), doc)
            documents.append((name, doc, work))
        drawing = os.path.join(work, "drawing")
        shutil.copytree(os.path.join(ROOT, "bench", "drawing"), drawing)
        graph = os.path.join(drawing, "graph.prg")
        with open(graph) as f:
            text = f.read()
        with open(graph, "w") as f:
            f.write(text.replace("{i < 200000}", "{i < %d}" % args.segments))
        documents.append(("drawing %dk" % (args.segments // 1000),
                          os.path.join(drawing, "drawing.tvd"), work))
        # The pendulum example over 3000 s of model time: 6000 table rows, each shown as it
        # is printed, so the text window's display of a long, capped text is what is timed.
        pendulum = os.path.join(work, "pendulum")
        shutil.copytree(os.path.join(ROOT, "examples", "pendulum"), pendulum)
        long_doc = os.path.join(pendulum, "pendulum.tvd")
        with open(long_doc) as f:
            text = re.sub(r"(?m)^duration *= *[0-9.]+", "duration = 3000", f.read())
        with open(long_doc, "w") as f:
            f.write(text)
        # It runs in its own folder: its default programs hold the helpers its views use.
        documents.append(("pendulum 3000s", long_doc, pendulum))

        print("%d runs each; median seconds of Execute" % args.runs)
        print("%-14s %10s %10s %8s" % ("document", "headless", "window", "ratio"))
        for name, doc, cwd in documents:
            if args.only not in name:
                continue
            headless = statistics.median(
                execute_seconds([runner, doc], cwd) for _ in range(args.runs))
            window = statistics.median(
                execute_seconds([app, doc], cwd) for _ in range(args.runs))
            print("%-14s %10.4f %10.4f %8.2f" % (name, headless, window, window / headless))

        if args.only:
            return
        starts = []
        for _ in range(args.runs):
            begin = time.perf_counter()
            subprocess.run([app, os.path.join(ROOT, "examples", "pendulum", "pendulum.tvd")],
                           cwd=work, env=dict(os.environ, TIVANE_BENCH="paint"),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60,
                           check=True)
            starts.append(time.perf_counter() - begin)
        if starts:
            print("start-up to the first painted window (pendulum): %.3f s"
                  % statistics.median(starts))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
