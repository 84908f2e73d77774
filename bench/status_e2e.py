#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end status benchmark: N simulated game servers over the four game types, listed by
the program's own tracker walk and status queries (corvanegv-query, the code the program
runs), against a bare send/receive loop over the same servers (status_raw_loop).

Usage: bench/status_e2e.py [--build build] [--sizes 1000,10000] [--drops 0,5] [--runs 3]
Everything runs on 127.0.0.1. Prints one line per case with the median times, measured by
each program from its start of work (the walk; the first query) to its last server answered,
so that neither process start nor printing the list counts; the servers each listed per run;
and the ratio of the medians.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile


def start(cmd, **kw):
    return subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, **kw)


def read_until(proc, word):
    lines = []
    for line in proc.stdout:
        line = line.rstrip("\n")
        if line == word:
            return lines
        lines.append(line)
    raise RuntimeError("%s ended before '%s': %s" % (proc.args[0], word, proc.stderr.read()))


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def run_case(build, n, drop, runs, timeout):
    tools = os.path.join(build, "tools")
    gamesim = start([os.path.join(tools, "gamesim", "corvanegv-gamesim"), "--many", str(n), "--drop", str(drop)])
    tracker = None
    try:
        servers = [l.split()[1] for l in read_until(gamesim, "ready") if l.startswith("server ")]
        with tempfile.TemporaryDirectory() as tmp:
            config = os.path.join(tmp, "tracker.conf")
            with open(config, "w") as f:
                for g in range(4):
                    f.write("game=%d %s\n" % (g, " ".join("server=" + s for s in servers[g::4])))
            tracker = start([os.path.join(tools, "trackersim", "corvanegv-trackersim"), "--config", config])
            base = read_until(tracker, "ready")[0].split()[1]
            # The simulator logs each request; nobody reads it from here on.
            tracker.stdout.close()
            listing = os.path.join(tmp, "servers.txt")
            with open(listing, "w") as f:
                f.write("\n".join(servers) + "\n")

            program, raw = [], []
            for _ in range(runs):
                q = subprocess.run([os.path.join(tools, "corvanegv-query", "corvanegv-query"), "--tracker", base,
                                    "--games", "0,1,2,3", "--json", "--timing", "--timeout", str(timeout)],
                                   capture_output=True, text=True)
                m = re.search(r"listed (\d+) of \d+ servers in (\d+) ms", q.stderr)
                program.append((int(m.group(2)) / 1000.0, int(m.group(1))))

                with open(listing) as f:
                    r = subprocess.run([os.path.join(build, "bench", "status_raw_loop"), str(timeout)], stdin=f,
                                       capture_output=True, text=True)
                m = re.search(r"answered (\d+) of \d+ in ([\d.]+) ms", r.stdout)
                raw.append((float(m.group(2)) / 1000.0, int(m.group(1))))
    finally:
        stop(gamesim)
        if tracker:
            stop(tracker)

    p_time = statistics.median(t for t, _ in program)
    r_time = statistics.median(t for t, _ in raw)
    # With replies dropped the raw loop, which never asks twice, lists less: no ratio then.
    ratio = "ratio %.2f" % (p_time / r_time) if drop == 0 else "slowest run %.0f ms" % (max(t for t, _ in program) * 1000)
    print("N=%-6d drop=%g%%  program %7.1f ms, listed %s of %d | raw loop %7.1f ms, answered %s | %s"
          % (n, drop, p_time * 1000, "/".join(str(c) for _, c in program), n, r_time * 1000,
             "/".join(str(c) for _, c in raw), ratio), flush=True)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--sizes", default="1000,10000")
    ap.add_argument("--drops", default="0,5")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--timeout", type=float, default=20)
    a = ap.parse_args()
    for drop in [float(d) for d in a.drops.split(",")]:
        for n in [int(s) for s in a.sizes.split(",")]:
            run_case(a.build, n, drop, a.runs, a.timeout)
    return 0


if __name__ == "__main__":
    sys.exit(main())
