#!/usr/bin/env python3
# Start-up benchmark: process start to first painted frame on a real X server, the tool
# (default configuration, four stored templates) against a bare Qt Widgets window.
# Alternating runs, medians. Usage: startup.py BUILD_DIR [RUNS]
import os, shutil, statistics, subprocess, sys, tempfile, time

build = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
src = os.path.dirname(os.path.abspath(__file__))
here = os.path.join(build, "bench")

work = tempfile.mkdtemp(prefix="cardtool-bench-")
try:
    tool = os.path.join(work, "startup_tool")
    shutil.copy(os.path.join(here, "startup_tool"), tool)
    shutil.copy(os.path.join(src, "..", "resources", "configTool.ini"), work)
    subprocess.run([os.path.join(here, "make_templates"), work], check=True)
    bare = os.path.join(here, "startup_bare")

    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)  # a real X server: the one DISPLAY names

    def once(exe):
        t0 = time.time_ns()
        out = subprocess.run([exe], env=env, capture_output=True, text=True, timeout=60)
        if out.returncode != 0 or not out.stdout.strip():
            raise SystemExit(f"{exe} failed: {out.returncode} {out.stderr[-500:]}")
        return (int(out.stdout.strip().splitlines()[-1]) - t0) / 1e6

    once(tool); once(bare)  # warm the page cache and the font cache
    t_tool, t_bare = [], []
    for _ in range(runs):
        t_tool.append(once(tool))
        t_bare.append(once(bare))
    mt, mb = statistics.median(t_tool), statistics.median(t_bare)
    print(f"startup: tool {mt:.1f} ms, bare window {mb:.1f} ms (medians of {runs}); "
          f"ratio {mt / mb:.2f} (target <= 1.25)")
finally:
    shutil.rmtree(work, ignore_errors=True)
