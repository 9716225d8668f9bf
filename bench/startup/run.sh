#!/usr/bin/env bash
# Start-up, side by side in one run: `tivane-run --bare --eval 1` against `lua5.4 -e x=1`
# (goal: within 2x), what a program run maps (no libQt6*, no libav*), and the application's
# time to its first painted window under Xvfb (TIVANE_BENCH=paint quits right after it).
# Usage: bench/startup/run.sh [RUNS] (default 41); BUILD=dir picks the build (build-release).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-41}
build=${BUILD:-build-release}
if [ -z "${BUILD:-}" ]; then
  bash scripts/setup.sh --bench
  bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTIVANE_CHECKS=OFF \
    -DTIVANE_BUILD_TESTS=OFF
fi
if [ -z "${DISPLAY:-}" ] && [ -x "$build/tivane" ]; then
  display=:$((80 + RANDOM % 9))
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  export DISPLAY=$display
fi
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
python3 - "$runs" "$build" <<'PY'
import os, statistics, subprocess, sys, tempfile, time

runs, build = int(sys.argv[1]), os.path.abspath(sys.argv[2])
work = tempfile.mkdtemp()  # no default programs found by accident

def wall(cmd, env=None):
    begin = time.perf_counter()
    subprocess.run(cmd, cwd=work, env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True, timeout=60)
    return time.perf_counter() - begin

peers = [("lua5.4 -e x=1", ["lua5.4", "-e", "x=1"]),
         ("tivane-run --bare --eval 1", [os.path.join(build, "tivane-run"), "--bare", "--eval", "1"])]
samples = {name: [] for name, _ in peers}
for _ in range(runs):  # interleaved, so that a busy moment hits both
    for name, cmd in peers:
        samples[name].append(wall(cmd))
lua = statistics.median(samples[peers[0][0]])
lua_min = min(samples[peers[0][0]])
# The fastest run beside the median: on a busy machine it is the one least disturbed.
print("%d runs each; median and fastest wall time" % runs)
for name, _ in peers:
    m, f = statistics.median(samples[name]), min(samples[name])
    print("%-30s %8.2f ms  %6.2fx lua   fastest %6.2f ms  %5.2fx lua"
          % (name, m * 1000, m / lua, f * 1000, f / lua_min))

# What a program run maps: the loader's own account of every library it opens.
env = dict(os.environ, LD_DEBUG="libs")
out = subprocess.run([os.path.join(build, "tivane-run"), "--bare", "--eval", "1"], cwd=work,
                     env=env, capture_output=True, text=True).stderr
libs = sorted({l.split("calling init: ")[1] for l in out.splitlines() if "calling init: " in l})
bad = [l for l in libs if "libQt6" in l or "/libav" in l or "libswscale" in l]
print("a program run initialises %d libraries; Qt or FFmpeg among them: %s"
      % (len(libs), ", ".join(bad) if bad else "none"))

app = os.path.join(build, "tivane")
if os.path.exists(app):
    needed = subprocess.run(["ldd", app], capture_output=True, text=True).stdout
    ff = [l.split()[0] for l in needed.splitlines() if "libav" in l or "libswscale" in l]
    print("tivane links FFmpeg at start-up: %s" % (", ".join(ff) if ff else "no"))
doc = os.path.join(os.getcwd(), "examples", "pendulum", "pendulum.tvd")
if os.path.exists(app) and os.environ.get("DISPLAY"):
    env = dict(os.environ, TIVANE_BENCH="paint")
    starts = [wall([app, doc], env) for _ in range(max(5, runs // 4))]
    print("tivane to its first painted window (pendulum): %.1f ms (median of %d)"
          % (statistics.median(starts) * 1000, len(starts)))
PY
echo "load average after the run:  $(cut -d' ' -f1-3 /proc/loadavg)"
