#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures an IRC client's event-loop stalls from outside: a relay between the client and its
server that slips a PING of its own between the server's lines every PERIOD seconds and times
the client's PONG. The client answers on its loop, so a round trip is the longest the loop was
busy elsewhere (plus the relay's own lateness, which is reported beside it).

Usage: bench/loop_probe.py --listen PORT --upstream PORT [--period 0.2]
Prints one line per event on stdout: "ready", "rtt MS AT", "lag MS AT" (the relay woke that
late; AT is the relay's clock in seconds),
"lost N" (probes unanswered when a connection ended), "nick NAME" (the client sent NICK),
"session up|down". Everything on 127.0.0.1.
"""
import argparse
import selectors
import socket
import sys
import time

TOKEN = b"cgvprobe."


class Session:
    def __init__(self, client, upstream):
        self.client = client
        self.upstream = upstream
        self.down = b""  # server bytes not yet ended by CR LF
        self.up = b""  # client bytes not yet ended by CR LF
        self.outstanding = {}  # token -> time sent

    def close(self, sel):
        for s in (self.client, self.upstream):
            try:
                sel.unregister(s)
            except (KeyError, ValueError):
                pass
            s.close()
        if self.outstanding:
            say("lost %d" % len(self.outstanding))
        say("session down")


def say(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--listen", type=int, required=True)
    ap.add_argument("--upstream", type=int, required=True)
    ap.add_argument("--period", type=float, default=0.2)
    a = ap.parse_args()
    sel = selectors.DefaultSelector()
    lsock = socket.socket()
    lsock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    lsock.bind(("127.0.0.1", a.listen))
    lsock.listen(4)
    sel.register(lsock, selectors.EVENT_READ, "listen")
    say("ready")
    session = None
    serial = 0
    next_probe = time.monotonic() + a.period
    while True:
        timeout = max(0.0, next_probe - time.monotonic())
        events = sel.select(timeout)
        now = time.monotonic()
        for key, _ in events:
            if key.data == "listen":
                client, _ = lsock.accept()
                if session:
                    session.close(sel)
                    session = None
                try:
                    up = socket.create_connection(("127.0.0.1", a.upstream), 2)
                except OSError:
                    client.close()  # the server is down: the client will try again
                    continue
                for s in (client, up):
                    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                session = Session(client, up)
                sel.register(client, selectors.EVENT_READ, "client")
                sel.register(up, selectors.EVENT_READ, "upstream")
                say("session up")
                continue
            if not session:
                continue
            try:
                data = key.fileobj.recv(65536)
            except OSError:
                data = b""
            if not data:
                session.close(sel)
                session = None
                continue
            try:
                if key.data == "upstream":
                    # Forward whole lines only, so a probe never lands inside a server line.
                    session.down += data
                    cut = session.down.rfind(b"\r\n") + 2
                    if cut >= 2:
                        session.client.sendall(session.down[:cut])
                        session.down = session.down[cut:]
                else:
                    session.up += data
                    *lines, session.up = session.up.split(b"\r\n")
                    keep = []
                    for line in lines:
                        if line[:4].upper() == b"PONG" and TOKEN in line:
                            token = line[line.index(TOKEN):].split()[0]
                            sent = session.outstanding.pop(token, None)
                            if sent is not None:
                                say("rtt %.1f %.3f" % ((now - sent) * 1000, now))
                            continue
                        if line[:5].upper() == b"NICK ":
                            say("nick " + line[5:].decode("latin-1").lstrip(":"))
                        keep.append(line + b"\r\n")
                    if keep:
                        session.upstream.sendall(b"".join(keep))
            except OSError:
                session.close(sel)
                session = None
        now = time.monotonic()
        if now >= next_probe:
            lag = (now - next_probe) * 1000
            if lag >= 5:
                say("lag %.1f %.3f" % (lag, now))
            next_probe = now + a.period
            if session and not session.down:
                serial += 1
                token = TOKEN + str(serial).encode()
                session.outstanding[token] = now
                try:
                    session.client.sendall(b"PING :" + token + b"\r\n")
                except OSError:
                    session.close(sel)
                    session = None


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
