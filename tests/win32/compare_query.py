#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""corvanegv-query built for Windows (run under wine) against the Linux build, on the same
simulated game servers on 127.0.0.1: both must print the same rows.
Usage: compare_query.py LINUX_QUERY WINDOWS_QUERY GAMESIM WINE...  (WINE: the command that runs it)"""
import subprocess
import sys

SERVERS = [
    r'port=0 name="Alpha" file="a.fs2" mission="Op" players=3 state=10 flags=0x12',
    r'port=0 name="Caf\xE9 \"q\" \\ \x01" file="" mission="M" players=0 state=8 flags=0x06',
    r'port=0 name="Silent" mode=silent',
    r'port=0 name="Cut" mode=truncated',
]


def rows(output):
    # Windows' text mode ends lines with CR LF; the rows themselves must be the same bytes.
    lines = output.replace(b"\r\n", b"\n").decode("utf-8", "replace").split("\n")
    return sorted(line.rstrip(",") for line in lines if line.startswith("  {"))


def main():
    linux_query, windows_query, gamesim = sys.argv[1:4]
    wine = sys.argv[4:]
    args = [gamesim, "--exit-on-eof"]
    for s in SERVERS:
        args += ["--server", s]
    sim = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        servers = []
        for line in sim.stdout:
            if line.startswith("server 127.0.0.1:"):
                servers.append(line.split()[1])
            if line.strip() == "ready":
                break
        if len(servers) != len(SERVERS):
            print("simulator started %d of %d servers" % (len(servers), len(SERVERS)))
            return 1
        query = ["--json", "--timeout", "2"]
        for s in servers:
            query += ["--server", s]
        linux = subprocess.run([linux_query] + query, capture_output=True, timeout=60)
        windows = subprocess.run(wine + [windows_query] + query, capture_output=True, timeout=120)
    finally:
        sim.stdin.close()
        sim.wait(timeout=10)
    a, b = rows(linux.stdout), rows(windows.stdout)
    print("linux exit %d, %d rows; windows exit %d, %d rows" % (linux.returncode, len(a), windows.returncode, len(b)))
    if linux.returncode != windows.returncode or a != b or len(a) < 2:
        print("linux:\n" + "\n".join(a) + "\nwindows:\n" + "\n".join(b))
        print("windows stderr:\n" + windows.stderr.decode("utf-8", "replace"))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
