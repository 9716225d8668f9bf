#!/usr/bin/env python3
"""Times a document whose graphics view draws 200,000 segments (or --segments N) against its
baseline.

drawing.tvd and baseline.tvd run the same loop (SIN, COS, assignments); the drawing's view
program calls LINETO(x, y) where the baseline's assigns x and y. Before timing, a copy of
each document is run with --save and its saved picture counted, so that the drawing really
records one item per segment and the baseline none. Each document then runs RUNS times;
the table gives median wall times, their ratio and each document's peak resident memory.
empty.tvd opens and runs the same way without the loop, so that the ratio can also be given
without what opening a document costs.

The last line gives the ratio of the runs alone, as the runner times its Execute.

Usage: bench/drawing/measure.py [--runs N] [--segments N] [--tivane PATH]
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leaves no __pycache__ in bench/
sys.path.insert(0, os.path.dirname(HERE))
from run import measure  # noqa: E402  bench/run.py: median wall time and peak RSS of N runs

SEGMENTS = 200000
DI_LINETO = 1


def copy_documents(to, segments):
    """Copies the documents into TO, their loops running SEGMENTS times."""
    for name in os.listdir(HERE):
        if os.path.splitext(name)[1] in (".tvd", ".ini", ".tml", ".prg") or ".vw" in name:
            with open(os.path.join(HERE, name), "rb") as f:
                data = f.read()
            if name.endswith(".prg"):
                data = data.replace(b"{i < %d}" % SEGMENTS, b"{i < %d}" % segments)
            with open(os.path.join(to, name), "wb") as f:
                f.write(data)


def execute_seconds(tivane, document):
    """The seconds the runner reports for Execute of DOCUMENT (TIVANE_BENCH=execute)."""
    proc = subprocess.run([tivane, "--bare", document], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True,
                          env=dict(os.environ, TIVANE_BENCH="execute"))
    for line in proc.stderr.splitlines():
        if line.startswith("execute_seconds "):
            return float(line.split()[1])
    sys.exit("no timing from %s:\n%s" % (document, proc.stderr))


def saved_picture_codes(tivane, document, segments):
    """Runs a copy of DOCUMENT.tvd with --save; returns the item codes of its saved picture."""
    with tempfile.TemporaryDirectory() as tmp:
        copy_documents(tmp, segments)
        proc = subprocess.run([tivane, "--bare", os.path.join(tmp, document + ".tvd"), "--save"],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if proc.returncode != 0:
            sys.exit("%s failed: %s" % (document, proc.stderr.decode()))
        pictures = [n for n in os.listdir(tmp) if n.startswith(document + ".vs")]
        if len(pictures) != 1:
            sys.exit("%s: expected one saved picture, found %s" % (document, pictures))
        with open(os.path.join(tmp, pictures[0]), "rb") as f:
            data = f.read()
    # The contents file: a little-endian item count, then one code byte per item.
    (count,) = struct.unpack_from("<i", data, 0)
    return data[4:4 + count]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--segments", type=int, default=SEGMENTS)
    parser.add_argument("--tivane",
                        default=os.path.join(HERE, "..", "..", "build-release", "tivane-run"))
    args = parser.parse_args()
    tivane = os.path.abspath(args.tivane)

    segments = args.segments
    drawn = saved_picture_codes(tivane, "drawing", segments)
    lines = drawn.count(DI_LINETO)
    if lines != segments:
        sys.exit("drawing recorded %d segments, not %d" % (lines, segments))
    base = saved_picture_codes(tivane, "baseline", segments)
    if base.count(DI_LINETO) != 0:
        sys.exit("the baseline drew %d segments" % base.count(DI_LINETO))

    empty = saved_picture_codes(tivane, "empty", segments)
    work = tempfile.mkdtemp(prefix="tivane-bench-drawing-")
    copy_documents(work, segments)

    print("%d runs each; median wall time in seconds, peak RSS in MiB" % args.runs)
    print("%-9s %9s %9s %9s" % ("document", "seconds", "MiB", "items"))
    results = {}
    for document, items in (("drawing", len(drawn)), ("baseline", len(base)),
                            ("empty", len(empty))):
        _, seconds, rss = measure([tivane, "--bare", os.path.join(work, document + ".tvd")],
                                  args.runs)
        results[document] = seconds
        print("%-9s %9.3f %9.1f %9d" % (document, seconds, rss / 1024, items))
    # The run alone, as the runner times its Execute (TIVANE_BENCH=execute), without start-up.
    runs = {}
    for document in ("drawing", "baseline"):
        runs[document] = statistics.median(
            execute_seconds(tivane, os.path.join(work, document + ".tvd"))
            for _ in range(args.runs))
    shutil.rmtree(work, ignore_errors=True)
    extra = results["drawing"] - results["baseline"]
    print("%d segments: drawing/baseline %.2f; drawing adds %.3f s, %.0f ns per segment" % (
        segments, results["drawing"] / results["baseline"], extra, extra / segments * 1e9))
    # Opening a document (Qt, template, windows) is the same in all three; without it:
    startup = results["empty"]
    if results["baseline"] > startup:
        print("without opening (empty): drawing/baseline %.2f" % (
            (results["drawing"] - startup) / (results["baseline"] - startup)))
    print("Execute alone: drawing %.3f s, baseline %.3f s, drawing/baseline %.2f" % (
        runs["drawing"], runs["baseline"], runs["drawing"] / runs["baseline"]))


if __name__ == "__main__":
    main()
