#!/usr/bin/env python3
"""Times a document whose graphics view draws 200,000 segments against its baseline.

drawing.tvd and baseline.tvd run the same loop (SIN, COS, assignments); the drawing's view
program calls LINETO(x, y) where the baseline's assigns x and y. Before timing, a copy of
each document is run with --save and its saved picture counted, so that the drawing really
records one item per segment and the baseline none. Each document then runs RUNS times;
the table gives median wall times, their ratio and each document's peak resident memory.
empty.tvd opens and runs the same way without the loop, so that the ratio can also be given
without what opening a document costs.

Usage: bench/drawing/measure.py [--runs N] [--tivane PATH]
"""

import argparse
import os
import shutil
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


def saved_picture_codes(tivane, document):
    """Runs a copy of DOCUMENT.tvd with --save; returns the item codes of its saved picture."""
    with tempfile.TemporaryDirectory() as tmp:
        for name in os.listdir(HERE):
            if os.path.splitext(name)[1] in (".tvd", ".ini", ".tml", ".prg") or ".vw" in name:
                shutil.copy(os.path.join(HERE, name), tmp)
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
    parser.add_argument("--tivane",
                        default=os.path.join(HERE, "..", "..", "build-release", "tivane-run"))
    args = parser.parse_args()
    tivane = os.path.abspath(args.tivane)

    drawn = saved_picture_codes(tivane, "drawing")
    lines = drawn.count(DI_LINETO)
    if lines != SEGMENTS:
        sys.exit("drawing recorded %d segments, not %d" % (lines, SEGMENTS))
    base = saved_picture_codes(tivane, "baseline")
    if base.count(DI_LINETO) != 0:
        sys.exit("the baseline drew %d segments" % base.count(DI_LINETO))

    empty = saved_picture_codes(tivane, "empty")

    print("%d runs each; median wall time in seconds, peak RSS in MiB" % args.runs)
    print("%-9s %9s %9s %9s" % ("document", "seconds", "MiB", "items"))
    results = {}
    for document, items in (("drawing", len(drawn)), ("baseline", len(base)),
                            ("empty", len(empty))):
        _, seconds, rss = measure([tivane, "--bare", os.path.join(HERE, document + ".tvd")],
                                  args.runs)
        results[document] = seconds
        print("%-9s %9.3f %9.1f %9d" % (document, seconds, rss / 1024, items))
    extra = results["drawing"] - results["baseline"]
    print("drawing/baseline %.2f; drawing adds %.3f s, %.0f ns per segment" % (
        results["drawing"] / results["baseline"], extra, extra / SEGMENTS * 1e9))
    # Opening a document (Qt, template, windows) is the same in all three; without it:
    startup = results["empty"]
    if results["baseline"] > startup:
        print("without opening (empty): drawing/baseline %.2f" % (
            (results["drawing"] - startup) / (results["baseline"] - startup)))


if __name__ == "__main__":
    main()
