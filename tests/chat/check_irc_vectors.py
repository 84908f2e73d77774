#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks tools/ircparse against the public IRC parser vectors (msg-split, whose message
tags are cut off before the rest is compared, and userhost-split). Usage: check_irc_vectors.py IRCPARSE VECTOR_DIR

Where the client's own rules differ from the vectors, its rules win: a prefix without "!"
keeps all of its text as the nick, with empty user and host."""
import json
import os
import subprocess
import sys


def parse(ircparse, raw):
    out = subprocess.run([ircparse], input=raw.encode("latin-1") + b"\r\n", capture_output=True, check=True)
    lines = out.stdout.decode("ascii").splitlines()
    if len(lines) != 1:
        raise AssertionError(f"{raw!r}: expected one object, got {lines}")
    return json.loads(lines[0])


def main():
    ircparse, folder = sys.argv[1], sys.argv[2]
    if not os.path.isdir(folder):
        sys.exit(f"parser vectors not found at {folder}")
    failures, checked = [], 0

    with open(os.path.join(folder, "msg-split.json"), encoding="utf-8") as f:
        for case in json.load(f)["tests"]:
            raw, atoms = case["input"], case["atoms"]
            want = {
                "prefix": ":" + atoms["source"] if "source" in atoms else "",
                "command": atoms["verb"],
                "params": atoms.get("params", []),
            }
            got = parse(ircparse, raw)
            got = {k: got.get(k) for k in want}
            checked += 1
            if got != want:
                failures.append(f"{raw!r}: got {got}, want {want}")

    with open(os.path.join(folder, "userhost-split.json"), encoding="utf-8") as f:
        for case in json.load(f)["tests"]:
            source, atoms = case["source"], case["atoms"]
            want = {k: atoms.get(k, "") for k in ("nick", "user", "host")}
            if "!" not in source:
                want = {"nick": source, "user": "", "host": ""}
            got = parse(ircparse, ":" + source + " PRIVMSG x :y")
            got = {k: got.get(k) for k in want}
            checked += 1
            if got != want:
                failures.append(f"{source!r}: got {got}, want {want}")

    for f in failures:
        print("MISMATCH", f)
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
