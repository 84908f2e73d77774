#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Chat flood benchmark: a bot floods the lobby of a private ngircd with messages while the
program (offscreen) and weechat-headless, as a baseline IRC client, sit in the channel; prints
the CPU seconds each spent on the flood and each one's peak memory.

Usage: bench/chat_flood.py [--build build] [--messages 100000] [--rate 5000] [--variant NAME]
                           [--backlog KIB] [--wrap "heaptrack -o FILE"]
The rate is the most the bots send: they wait while either client has more than --backlog KiB
on its way to it, so that ngircd, which drops a client whose unread lines pass its send queue
limit, keeps both and both spend their CPU on the whole flood.
Variants: links (two links no other message has, the default), repeat (one link, the same in
every message), plain (no links), formatting (colours and styles, every colour pair in turn),
long (messages at the 512-byte line limit), senders (10,000 bots take turns), private (1,000
bots write to the program's nick instead of the channel).
Everything runs on 127.0.0.1. Needs ngircd and weechat-headless (Debian packages).
"""
import resource
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

LOBBY = "#Lobby_20"


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_port(port, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 0.5).close()
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("nothing listens on port %d" % port)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


class Bot:
    def __init__(self, port, nick):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.buf = b""
        self.pending = []
        self.nick = nick
        self.send("NICK %s\r\nUSER flood 0 * :flood bot\r\n" % nick)
        self.wait_for(lambda l: l.split()[1:2] == ["001"])
        self.send("JOIN %s\r\n" % LOBBY)

    def send(self, text):
        self.sock.sendall(text.encode())

    def lines(self, timeout):
        self.sock.settimeout(timeout)
        try:
            data = self.sock.recv(65536)
        except (socket.timeout, BlockingIOError):
            return []
        if not data:
            raise RuntimeError("the IRC server closed the bot's connection")
        self.buf += data
        *done, self.buf = self.buf.split(b"\r\n")
        out = []
        for raw in done:
            line = raw.decode("utf-8", "replace")
            if line.startswith("PING"):
                self.send("PONG" + line[4:] + "\r\n")
            out.append(line)
        return out

    def wait_for(self, pred, seconds=30):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if not self.pending:
                self.pending = self.lines(0.5)
            while self.pending:
                line = self.pending.pop(0)
                if pred(line):
                    return line
        raise RuntimeError("the bot waited in vain")

    def members(self):
        self.send("NAMES %s\r\n" % LOBBY)
        names = []
        while True:
            line = self.wait_for(lambda l: l.split()[1:2] in (["353"], ["366"]))
            if line.split()[1] == "366":
                return names
            names += line.split(":", 2)[2].split()


def tcp_rows():
    """(local port, remote port, send queue, receive queue, inode) of every IPv4 TCP socket."""
    rows = []
    with open("/proc/net/tcp") as f:
        next(f)
        for line in f:
            v = line.split()
            tx, rx = v[4].split(":")
            rows.append((int(v[1].split(":")[1], 16), int(v[2].split(":")[1], 16), int(tx, 16), int(rx, 16), v[9]))
    return rows


def client_port(pid, server_port):
    """The local port of a process's connection to the IRC server."""
    inodes = set()
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            link = os.readlink("/proc/%d/fd/%s" % (pid, fd))
        except OSError:
            continue
        if link.startswith("socket:["):
            inodes.add(link[8:-1])
    return next((r[0] for r in tcp_rows() if r[4] in inodes and r[1] == server_port), None)


def backlogs(ports, server_port):
    """Bytes on their way to each client: unread at the client plus unsent at the server. Kept
    small, the server never has to buffer for a slow reader, so it never drops one."""
    out = dict.fromkeys(ports, 0)
    for local, remote, tx, rx, _ in tcp_rows():
        if local in out and remote == server_port:
            out[local] += rx
        elif local == server_port and remote in out:
            out[remote] += tx
    return list(out.values())


def message(variant, k):
    if variant == "links":
        return "message %d from the flood, see https://example.org/page/%d or www.example.com/%d" % (k, k, k)
    if variant == "repeat":
        return "message %d from the flood, see https://example.org/page or www.example.com/" % k
    if variant == "formatting":
        return "\x03%d,%d\x02message\x02 %d \x1dfrom\x1d the \x04%06xflood\x0f, \x1fsee\x1f this" % (
            k % 99, k // 99 % 99, k, k * 2654435761 & 0xFFFFFF)
    if variant == "long":
        return ("word%d https://example.org/%d " % (k, k) * 30)[:400]
    return "message %d from the flood with some words in it" % k


def program_pid(wrapper, seconds=10):
    """The program's own process when it runs under a wrapper command."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as f:
                    stat = f.read()
            except OSError:
                continue
            comm, rest = stat[stat.index("(") + 1:stat.rindex(")")], stat[stat.rindex(")") + 2:].split()
            pid, ppid = int(entry), int(rest[1])
            if pid == wrapper.pid and comm == "corvanegv":
                return pid  # the wrapper ran it in its place (env, nice)
            while ppid > 1 and ppid != wrapper.pid:
                try:
                    with open("/proc/%d/stat" % ppid) as f:
                        ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                except OSError:
                    break
            if comm == "corvanegv" and ppid == wrapper.pid:
                return pid
        time.sleep(0.2)
    raise RuntimeError("the program did not start under the wrapper")


class Process:
    def __init__(self, pid):
        self.pid = pid


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--messages", type=int, default=100000)
    ap.add_argument("--rate", type=int, default=5000, help="messages per second the bot sends")
    ap.add_argument("--variant", default="links",
                    choices=("links", "repeat", "plain", "formatting", "long", "senders", "private"))
    ap.add_argument("--bots", type=int, default=0, help="bots for senders/private (10,000 / 1,000)")
    ap.add_argument("--backlog", type=int, default=256,
                    help="KiB on their way to a client before the bots wait for it to read")
    ap.add_argument("--wrap", default="", help="a command the program runs under (heaptrack, valgrind ...)")
    ap.add_argument("--tls", action="store_true", help="the program on ngircd's TLS port (compare with a plain run)")
    a = ap.parse_args()
    nbots = a.bots or {"senders": 10000, "private": 1000}.get(a.variant, 1)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, nbots * 2 + 256)), hard))
    for tool in ("ngircd", "weechat-headless"):
        if not shutil.which(tool) and not os.path.exists("/usr/sbin/" + tool):
            sys.exit("chat_flood: %s is missing (apt-get install %s)" % (tool, tool))

    procs = []
    with tempfile.TemporaryDirectory() as tmp:
        try:
            port = free_port()
            conf = os.path.join(tmp, "ngircd.conf")
            with open(conf, "w") as f:
                f.write("[Global]\nName = flood.test\nInfo = flood\nAdminInfo1 = b\nAdminInfo2 = b\n"
                        "AdminEMail = b@localhost\nListen = 127.0.0.1\nPorts = %d\nPidFile = %s\n"
                        "MotdPhrase = \"flood\"\n[Limits]\nMaxConnectionsIP = 0\nMaxPenaltyTime = 0\n"
                        "MaxNickLength = 16\n"
                        "[Options]\nDNS = no\nIdent = no\nPAM = no\n" % (port, os.path.join(tmp, "ngircd.pid")))
            program_server, program_env = "127.0.0.1:%d" % port, {}
            if a.tls:
                # A self-signed certificate the program trusts through SSL_CERT_FILE.
                tls_port, cert, key = free_port(), os.path.join(tmp, "cert.pem"), os.path.join(tmp, "key.pem")
                subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1",
                                "-addext", "subjectAltName=IP:127.0.0.1"], check=True, capture_output=True)
                os.chmod(tmp, 0o755)
                os.chmod(key, 0o644)
                with open(conf, "a") as f:
                    f.write("[SSL]\nCertFile = %s\nKeyFile = %s\nPorts = %d\n" % (cert, key, tls_port))
                program_server, program_env = "ircs://127.0.0.1:%d" % tls_port, {"SSL_CERT_FILE": cert}
            ngircd = shutil.which("ngircd") or "/usr/sbin/ngircd"
            procs.append(subprocess.Popen([ngircd, "--nodaemon", "--passive", "--config", conf],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_port(port)
            if a.tls:
                wait_port(tls_port)

            program = subprocess.Popen(
                a.wrap.split() + [os.path.join(a.build, "src", "shell", "corvanegv"), "--tracker", "127.0.0.1:%d" % free_port(),
                 "--chat-server", program_server, "--config-dir", os.path.join(tmp, "program")],
                env=dict(os.environ, QT_QPA_PLATFORM="offscreen", **program_env), stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
            procs.append(program)
            if a.wrap:
                program = Process(program_pid(program))
            weechat = subprocess.Popen(
                ["weechat-headless", "--dir", os.path.join(tmp, "weechat"), "-r",
                 "/server add local 127.0.0.1/%d -notls;/set irc.server.local.nicks wcbase;"
                 "/set irc.server.local.autojoin %s;/connect local" % (port, LOBBY)],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            procs.append(weechat)

            bot = Bot(port, "flooder")
            # The other bots register in the background of the first one; each only sends.
            others = []
            for n in range(1, nbots):
                s = socket.create_connection(("127.0.0.1", port))
                s.sendall(("NICK f%05d\r\nUSER f 0 * :f\r\nJOIN %s\r\n" % (n, LOBBY)).encode())
                others.append(s)
                if n % 200 == 0:
                    for o in others[-200:]:
                        o.setblocking(False)
                        try:
                            while o.recv(65536):
                                pass
                        except OSError:
                            pass
            senders = [bot.sock] + others
            deadline = time.time() + 30
            while len(bot.members()) < nbots + 2:
                if time.time() > deadline:
                    raise RuntimeError("the program and weechat did not both join %s" % LOBBY)
                time.sleep(0.5)
            time.sleep(1)
            target = LOBBY
            if a.variant == "private":
                # The program's nick: the member that is neither a bot nor weechat.
                nicks = [m.lstrip("@+") for m in bot.members()]
                target = next(m for m in nicks if m not in ("flooder", "wcbase") and not m.startswith("f0"))
            before = {p: (cpu_seconds(p.pid), peak_kib(p.pid)) for p in (program, weechat)}
            # ngircd drops a client whose unread lines pass its send queue limit, and a dropped
            # client spends no more CPU on the flood: the bots keep pace with the slower reader.
            ports = [client_port(p.pid, port) for p in (program, weechat)]
            if None in ports:
                raise RuntimeError("no connection to the IRC server found for a client")
            paused = 0.0

            start = time.time()
            batch = max(a.rate // 20, 1)
            for i in range(0, a.messages, batch):
                if len(senders) == 1:
                    bot.send("".join("PRIVMSG %s :%s\r\n" % (target, message(a.variant, k))
                                     for k in range(i, min(i + batch, a.messages))))
                else:
                    for k in range(i, min(i + batch, a.messages)):
                        try:
                            senders[k % len(senders)].send(("PRIVMSG %s :%s\r\n" % (target, message(a.variant, k))).encode())
                        except OSError:
                            pass
                bot.lines(0)
                t0 = time.time()
                while max(backlogs(ports, port)) > a.backlog * 1024:
                    time.sleep(0.01)
                paused += time.time() - t0
                wait = start + paused + (i + batch) / a.rate - time.time()
                if wait > 0:
                    time.sleep(wait)
            sent = time.time() - start

            # Done when neither client's CPU time grows for two seconds.
            last, quiet = None, 0
            while quiet < 4 or max(backlogs(ports, port)) > 0:
                time.sleep(0.5)
                now = (cpu_seconds(program.pid), cpu_seconds(weechat.pid))
                quiet = quiet + 1 if now == last else 0
                last = now
            members = bot.members()
            print("%s: %d messages in %.1f s (%d/s; %.1f s of it waiting for the slower reader) from %d bots; "
                  "still in %s: %d of %d" % (a.variant, a.messages, sent, a.messages / sent, paused, nbots, LOBBY,
                                             len(members), nbots + 2))
            if "wcbase" not in [m.lstrip("@+") for m in members] or len(members) < nbots + 2:
                print("a client or a bot was dropped during the flood: the CPU figures do not compare")
            if nbots == 1:
                print("members at the end: %s" % " ".join(sorted(members)))
            for name, p in (("corvanegv", program), ("weechat-headless", weechat)):
                cpu0, peak0 = before[p]
                print("%-17s CPU %6.2f s   peak memory %7.1f MiB (%.1f MiB before the flood)" %
                      (name, cpu_seconds(p.pid) - cpu0, peak_kib(p.pid) / 1024, peak0 / 1024))
            cpu_p = cpu_seconds(program.pid) - before[program][0]
            cpu_w = cpu_seconds(weechat.pid) - before[weechat][0]
            print("CPU ratio corvanegv / weechat-headless: %.2f" % (cpu_p / cpu_w if cpu_w else float("inf")))
        finally:
            # A wrapper does not always pass the stop on to the program it started.
            if a.wrap and isinstance(locals().get("program"), Process):
                try:
                    os.kill(program.pid, 15)
                except OSError:
                    pass
            for p in reversed(procs):
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
