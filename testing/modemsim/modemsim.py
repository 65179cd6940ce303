#!/usr/bin/env python3
"""A modem of our own on a pseudo-terminal, for tests of the suite's modem
code under Wine.

It opens a pty, links its slave as a COM port of a Wine prefix
(`--link $WINEPREFIX/dosdevices/com5`) and answers AT commands from a
profile (JSON):

    {
      "echo": true,                  # echo what arrives (ATE0 / ATE1 switch it)
      "silent": false,               # read everything, answer nothing
      "replies": {"ATI3": ["Simvale 56K V.92", "OK"], "AT+FCLASS=?": ["0,1,2", "OK"]},
      "default": ["OK"],             # lines for a command not in "replies"
      "chunk": 0,                    # bytes per write of a reply, 0 = all at once
      "chunk_gap_ms": 0              # pause between chunks
    }

Each reply line goes out as CR LF, text, CR LF, as a modem in verbose mode
sends it; a reply of [] sends nothing (that command goes unanswered).
Commands end at CR; "AT" is matched without regard to case.

Once the link is in place the pty's name is written to --ready (or
stdout). The program runs until SIGTERM / SIGINT, or --lifetime seconds,
and then removes the link when it still points at its pty. With --log,
every command received is appended to that file, one a line.
"""
import argparse
import json
import os
import select
import signal
import sys
import time
import tty

DEFAULT_PROFILE = {
    "echo": True,
    "silent": False,
    "replies": {},
    "default": ["OK"],
    "chunk": 0,
    "chunk_gap_ms": 0,
}


def load_profile(path):
    profile = dict(DEFAULT_PROFILE)
    if path:
        with open(path, encoding="utf-8") as f:
            profile.update(json.load(f))
    profile["replies"] = {k.upper(): v for k, v in profile.get("replies", {}).items()}
    return profile


class Modem:
    def __init__(self, profile, out, log):
        self.profile = profile
        self.echo = bool(profile.get("echo", True))
        self.out = out
        self.log = log
        self.pending = b""

    def send(self, data):
        chunk = int(self.profile.get("chunk", 0) or 0)
        gap = float(self.profile.get("chunk_gap_ms", 0) or 0) / 1000.0
        if chunk <= 0:
            chunk = len(data) or 1
        for i in range(0, len(data), chunk):
            if i and gap:
                time.sleep(gap)
            self.out(data[i:i + chunk])

    def reply_for(self, command):
        if command.startswith("ATE0"):
            self.echo = False
            return ["OK"]
        if command.startswith("ATE1"):
            self.echo = True
            return ["OK"]
        replies = self.profile["replies"]
        if command in replies:
            return replies[command]
        return self.profile.get("default", ["OK"])

    def feed(self, data):
        silent = self.profile.get("silent")
        if self.echo and not silent:
            self.out(data)
        self.pending += data
        while b"\r" in self.pending:
            line, self.pending = self.pending.split(b"\r", 1)
            command = line.decode("latin-1").strip().upper()
            if not command:
                continue
            if self.log:
                with open(self.log, "a", encoding="latin-1") as f:
                    f.write(command + "\n")
            if silent or not command.startswith("AT"):
                continue
            lines = self.reply_for(command)
            if lines:
                self.send(b"".join(b"\r\n" + l.encode("latin-1") + b"\r\n" for l in lines))


def open_linked_pty(link):
    """A pty in raw mode, its slave linked as `link` (when given); answers
    (master, slave, slave's name). The slave stays open here so that the pty
    survives the program on the other side closing it."""
    master, slave = os.openpty()
    tty.setraw(slave)
    name = os.ttyname(slave)
    if link:
        try:
            os.unlink(link)
        except FileNotFoundError:
            pass
        os.symlink(name, link)
    return master, slave, name


def close_linked_pty(master, slave, name, link):
    """Removes the link when it still points at the pty, closes both ends."""
    if link:
        try:
            if os.readlink(link) == name:
                os.unlink(link)
        except OSError:
            pass
    os.close(master)
    os.close(slave)


def write_ready(path, name):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(name + "\n")
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--profile", help="JSON profile (defaults: echo on, OK to everything)")
    ap.add_argument("--link", help="symlink to create to the pty slave (e.g. $WINEPREFIX/dosdevices/com5)")
    ap.add_argument("--ready", help="file to write the pty name into once ready")
    ap.add_argument("--log", help="file to append every command received to")
    ap.add_argument("--lifetime", type=float, default=900.0, help="exit after this many seconds")
    args = ap.parse_args()

    profile = load_profile(args.profile)
    # Raw until the program on the other side sets its own modes.
    master, slave, name = open_linked_pty(args.link)

    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))

    def write(data):
        os.write(master, data)

    modem = Modem(profile, write, args.log)
    if args.ready:
        write_ready(args.ready, name)
    else:
        print(name, flush=True)

    end = time.monotonic() + args.lifetime
    try:
        while not stop and time.monotonic() < end:
            try:
                ready, _, _ = select.select([master], [], [], 0.2)
            except InterruptedError:
                continue
            if ready:
                try:
                    data = os.read(master, 4096)
                except OSError:
                    data = b""
                if data:
                    modem.feed(data)
    finally:
        close_linked_pty(master, slave, name, args.link)
    return 0


if __name__ == "__main__":
    sys.exit(main())
