#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Installs the build into a temporary DESTDIR and checks the tree a user or a package gets.
Usage: check_install.py CMAKE BUILD_DIR [APP_ID]"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

APP_ID = sys.argv[3] if len(sys.argv) > 3 else "org.example.CorvaneGV"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
EXPECTED = {
    "bin/corvanegv",
    "bin/corvanegv-query",
    "share/corvanegv/new_msg.wav",
    f"share/applications/{APP_ID}.desktop",
    f"share/metainfo/{APP_ID}.metainfo.xml",
    "share/man/man1/corvanegv.1.gz",
    "share/man/man1/corvanegv-query.1.gz",
    "share/doc/corvanegv/changelog.Debian.gz",
    "share/lintian/overrides/corvanegv",
    "share/doc/corvanegv/copyright",
} | {f"share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in ICON_SIZES}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=60, **kw)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def main():
    cmake, build = sys.argv[1], sys.argv[2]
    tools = ["desktop-file-validate", "appstreamcli", "man"]
    missing = [t for t in tools if not shutil.which(t)]
    if missing:
        sys.exit(f"missing {', '.join(missing)}: scripts/setup installs them")

    with tempfile.TemporaryDirectory() as tmp:
        root = os.path.join(tmp, "root")
        prefix = "/opt/corvanegv-test"  # not /usr: nothing may depend on the usual prefix
        env = dict(os.environ, DESTDIR=root)
        r = run([cmake, "--install", build, "--prefix", prefix], env=env)
        if r.returncode != 0:
            sys.exit(f"cmake --install failed:\n{r.stdout}{r.stderr}")
        tree = root + prefix

        installed = set()
        for dirpath, _, files in os.walk(tree):
            for f in files:
                installed.add(os.path.relpath(os.path.join(dirpath, f), tree))
        check(installed == EXPECTED,
              f"installed tree differs: missing {sorted(EXPECTED - installed)}, extra {sorted(installed - EXPECTED)}")
        leaked = [p for p in os.listdir(root) if p != prefix.strip("/").split("/")[0]]
        check(not leaked, f"installed outside the prefix: {leaked}")

        for prog in ("corvanegv", "corvanegv-query"):
            check(os.access(os.path.join(tree, "bin", prog), os.X_OK), f"bin/{prog} not executable")

        desktop = os.path.join(tree, "share/applications", APP_ID + ".desktop")
        r = run(["desktop-file-validate", desktop])
        findings = r.stdout.splitlines()
        check(r.returncode == 0 and not findings, f"desktop-file-validate: {r.stdout}{r.stderr}")
        with open(desktop, encoding="utf-8") as f:
            entry = f.read()
        check(re.search(r"^Icon=" + re.escape(APP_ID) + "$", entry, re.M) is not None, "desktop Icon is not the app id")
        # One main category, so the menu shows the entry once.
        check(re.search(r"^Categories=Game;$", entry, re.M) is not None, "desktop categories")

        metainfo = os.path.join(tree, "share/metainfo", APP_ID + ".metainfo.xml")
        r = run(["appstreamcli", "validate", "--no-net", metainfo])
        check(r.returncode == 0, f"appstreamcli validate: {r.stdout}{r.stderr}")
        r = run(["appstreamcli", "validate-tree", "--no-net", tree])
        check(r.returncode == 0, f"appstreamcli validate-tree: {r.stdout}{r.stderr}")

        for s in ICON_SIZES:
            png = os.path.join(tree, f"share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png")
            if os.path.exists(png):
                check(png_size(png) == (s, s), f"{png}: size {png_size(png)}, want {s}x{s}")

        for page in ("corvanegv", "corvanegv-query"):
            man = os.path.join(tree, "share/man/man1", page + ".1.gz")
            r = run(["man", "--warnings", "-l", man], env=dict(os.environ, MANWIDTH="80", MANPAGER="cat", LC_ALL="C.UTF-8"))
            check(r.returncode == 0 and not r.stderr.strip(), f"man -l {page}: {r.stderr}")
            for section in ("NAME", "SYNOPSIS", "OPTIONS", "FILES", "EXIT STATUS", "EXAMPLES"):
                check(re.search(r"^" + section + "$", r.stdout, re.M) is not None, f"man {page}: no {section}")

        # The installed program, started away from the build and with no data dirs of the
        # system, must still find its sound through its own prefix.
        work = os.path.join(tmp, "work")
        os.mkdir(work)
        env = dict(os.environ, HOME=work, XDG_CONFIG_HOME="", XDG_DATA_HOME=os.path.join(tmp, "none"),
                   XDG_DATA_DIRS=os.path.join(tmp, "none"), QT_QPA_PLATFORM="offscreen")
        r = run([os.path.join(tree, "bin/corvanegv"), "--help"], env=env, cwd=work)
        check(r.returncode == 0, f"corvanegv --help: exit {r.returncode} {r.stderr}")
        m = re.search(r"^  message sound  (.*)$", r.stdout, re.M)
        want = os.path.join(tree, "share/corvanegv/new_msg.wav")
        check(m is not None and os.path.realpath(m.group(1)) == os.path.realpath(want),
              f"installed program's sound: {m.group(1) if m else r.stdout!r}, want {want}")
        check(os.path.join(work, ".config/CorvaneGV/settings.reg") in r.stdout, f"settings path not in --help:\n{r.stdout}")

        # The versions the package, the programs and the metainfo state agree.
        versions = {run([os.path.join(tree, "bin", p), "--version"], env=env, cwd=work).stdout.split()[-1]
                    for p in ("corvanegv", "corvanegv-query")}
        with open(metainfo, encoding="utf-8") as f:
            versions |= set(re.findall(r'<release version="([^"]+)"', f.read())[:1])
        check(len(versions) == 1, f"versions disagree: {versions}")

    for f in failures:
        print("FAIL", f)
    print(f"{len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
