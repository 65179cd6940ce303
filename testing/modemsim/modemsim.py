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

A reply may also be an object, for calls and line tests:

    "ATDT 5551234": {"delay_ms": 1500, "lines": ["CONNECT 14400"], "online": true}
    "AT&T1": {"lines": ["CONNECT 9600"], "online": true, "then_after_ms": 3000, "then": ["OK"]}

"delay_ms" holds the lines back (a call being dialled: any byte that
arrives meanwhile ends the call with NO CARRIER, as a modem's dial is
aborted by a key); "online" leaves the modem on line after the lines, where
what arrives is data, until the escape sequence "+++" followed by a quiet
second brings it back (it answers OK), or "then_after_ms" have passed (it
sends "then" and is back in command mode).

A reply object may also make the modem misbehave once its lines are out
(after "delay_ms", when given), as broken hardware does:

    "ATI3": {"hangup": true}                 # the pty goes away: the modem is gone
    "AT&C1": {"lines": ["OK"], "mute": true}  # from here on nothing is answered
    "ATI0": {"flood": "\\r\\nOK\\r\\n"}        # this text over and over, without end

"hangup" closes the port's pty (the program on the other side keeps a
device whose peer is gone) and points its link at no device; "mute" reads
everything and answers nothing, not even an echo; "flood" sends its text
as fast as the other side takes it (a line that never ends with "x", a
stream of NUL bytes with "\\u0000"). A new profile for the port ends each of
them, and a port that hung up gets a pty of its own again.

With "tones": true the modem's speaker is the default PulseAudio sink: a
blind tone dial ("ATS6=0x0dt5551234") plays one dual tone of 90 ms per
digit, 90 ms apart, through pacat (nothing when pacat or the server is
missing), once a recording runs on that server (at most 10 s after the dial
it plays anyway): the tones land in the recording however late its start;
the dial then waits for a carrier until any byte arrives.

With --control FILE the profile is that file, read again whenever it
changes, and the test decides at run time what the port is: a profile with
"present": false points the port's link at a directory, which opens as no
device (without a link, or with a dangling one, Wine would open
/dev/ttyS<n-1> for COMn). After applying
a change the simulator writes FILE.ack holding the profile's "serial".

Once the link is in place the pty's name is written to --ready (or
stdout). The program runs until SIGTERM / SIGINT, or --lifetime seconds,
and then removes the link when it still points at its pty. With --log,
every command received is appended to that file, one a line.

One process serves several ports when each is given as
--port CONTROL LINK READY LOG (a modem of its own on a pty of its own).
"""
import argparse
import fcntl
import json
import math
import os
import re
import select
import signal
import struct
import subprocess
import sys
import threading
import time
import tty

# Dual tones of the telephone keypad: low and high frequency per key.
DTMF = {}
for row, low in enumerate((697, 770, 852, 941)):
    for col, high in enumerate((1209, 1336, 1477, 1633)):
        DTMF["123A456B789C*0#D"[row * 4 + col]] = (low, high)


def dial_tones(digits, rate=8000, on_ms=90, off_ms=90, amplitude=9000):
    """16-bit mono PCM of the digits' tones, after the pause a modem takes to go off hook."""
    out = bytearray(struct.pack("<h", 0) * (rate * 1500 // 1000))
    for d in digits:
        low, high = DTMF[d]
        for i in range(rate * on_ms // 1000):
            t = i / rate
            v = amplitude / 2 * (math.sin(2 * math.pi * low * t) + math.sin(2 * math.pi * high * t))
            out += struct.pack("<h", int(v))
        out += struct.pack("<h", 0) * (rate * off_ms // 1000)
    return bytes(out)


def recording_runs():
    """Whether the audio server records now (a source output that is not
    corked; a recorder opened but not started is corked); None when that
    cannot be asked."""
    try:
        out = subprocess.run(["pactl", "list", "source-outputs"], capture_output=True, text=True, timeout=10,
                             env=dict(os.environ, LC_ALL="C")).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    return "Corked: no" in out


def play_pcm(pcm, after_recording_starts=False, wait_s=10.0):
    def run():
        deadline = time.monotonic() + wait_s
        while after_recording_starts and time.monotonic() < deadline and recording_runs() is False:
            time.sleep(0.02)
        try:
            p = subprocess.Popen(["pacat", "--raw", "--format=s16le", "--rate=8000", "--channels=1"],
                                 stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            p.communicate(pcm, timeout=30)
        except (OSError, subprocess.TimeoutExpired):
            pass
    threading.Thread(target=run, daemon=True).start()

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
        self.state = "command"  # "dialing" or "online" while a call or line test runs
        self.reply = None       # the object reply being played
        self.deadline = None    # when the held-back lines go out, or the line test ends
        self.escape_at = None   # when an escape sequence takes effect
        self.muted = False      # answers nothing any more
        self.flood = None       # bytes sent over and over, or None
        self.hang_up = lambda: None  # the port's pty goes away

    def set_profile(self, profile):
        self.profile = profile
        self.echo = bool(profile.get("echo", True))
        self.pending = b""
        self.state = "command"
        self.deadline = self.escape_at = None
        self.muted = False
        self.flood = None

    def note(self, text):
        if self.log:
            with open(self.log, "a", encoding="latin-1") as f:
                f.write(text + "\n")

    def send_lines(self, lines):
        if lines:
            self.send(b"".join(b"\r\n" + l.encode("latin-1") + b"\r\n" for l in lines))

    def play(self, reply):
        if not isinstance(reply, dict):
            self.send_lines(reply)
            return
        self.reply = reply
        delay = float(reply.get("delay_ms", 0) or 0) / 1000.0
        if delay > 0:
            self.state = "dialing"
            self.deadline = time.monotonic() + delay
        else:
            self.arrive()

    def arrive(self):
        reply = self.reply
        self.send_lines(reply.get("lines", []))
        self.deadline = None
        self.state = "command"
        if reply.get("mute"):
            self.note("<mute>")
            self.muted = True
        if "flood" in reply:
            self.note("<flood>")
            self.flood = reply["flood"].encode("latin-1") or b"\0"
        if reply.get("hangup"):
            self.note("<hangup>")
            self.hang_up()
            return
        if reply.get("online"):
            self.state = "online"
            if "then_after_ms" in reply:
                self.deadline = time.monotonic() + float(reply["then_after_ms"]) / 1000.0

    def tick(self):
        now = time.monotonic()
        if self.escape_at is not None and now >= self.escape_at:
            self.escape_at = None
            self.state = "command"
            self.deadline = None
            self.send_lines(["OK"])
        if self.deadline is not None and now >= self.deadline:
            if self.state == "dialing":
                self.arrive()
            elif self.state == "online":
                self.deadline = None
                self.state = "command"
                self.send_lines(self.reply.get("then", []))

    def next_event(self):
        times = [t for t in (self.deadline, self.escape_at) if t is not None]
        return min(times) if times else None

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
        if command == "ATZ":
            self.echo = bool(self.profile.get("echo", True))
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
        silent = self.profile.get("silent") or self.muted
        if self.state == "dialing":
            # Any key ends a call being dialled; what was typed is dropped.
            self.note("<dial aborted>")
            self.state = "command"
            self.deadline = None
            self.send_lines(["NO CARRIER"])
            return
        if self.state == "online":
            if self.escape_at is not None:
                self.escape_at = None  # no quiet second after the escape
            if b"+++" in data:
                self.note("+++")
                self.escape_at = time.monotonic() + 1.0
            return
        if self.echo and not silent:
            self.out(data)
        self.pending += data
        while b"\r" in self.pending:
            line, self.pending = self.pending.split(b"\r", 1)
            command = line.decode("latin-1").strip().upper()
            if not command:
                continue
            self.note(command)
            if silent or not command.startswith("AT"):
                continue
            tone_dial = re.match(r"^ATS6=0X0DT([0-9*#A-D]+)$", command)
            if tone_dial and self.profile.get("tones"):
                play_pcm(dial_tones(tone_dial.group(1)), after_recording_starts=True)
                self.play({"delay_ms": 600000, "lines": ["NO CARRIER"]})
            else:
                self.play(self.reply_for(command))
            if self.state != "command":
                self.pending = b""
                return


def open_linked_pty(link):
    """A pty in raw mode, its slave linked as `link` (when given); answers
    (master, slave, slave's name). The slave stays open here so that the pty
    survives the program on the other side closing it."""
    master, slave = os.openpty()
    tty.setraw(slave)
    name = os.ttyname(slave)
    if link:
        replace_link(name, link)
    return master, slave, name


def replace_link(target, link):
    """Points `link` at `target` in one step: a program opening the link
    meanwhile finds the old target or the new one, never no link."""
    tmp = link + ".new"
    try:
        os.unlink(tmp)
    except FileNotFoundError:
        pass
    os.symlink(target, tmp)
    os.replace(tmp, link)


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


class Port:
    """One simulated port: its pty, its link and its modem, and the
    control file its profile comes from."""

    def __init__(self, link, ready, log, control, profile_path):
        self.link = link
        self.control = control
        self.profile = load_profile(control if control and os.path.exists(control) else profile_path)
        # Raw until the program on the other side sets its own modes.
        self.master, self.slave, self.name = open_linked_pty(None)
        self.place_link(self.profile.get("present", True))
        self.modem = Modem(self.profile, self.write, log)
        self.modem.hang_up = self.hang_up
        self.dead = False
        self.seen = None
        if ready:
            write_ready(ready, self.name)
        else:
            print(self.name, flush=True)

    def write(self, data):
        if not self.dead:
            os.write(self.master, data)

    def hang_up(self):
        """The modem is gone: its pty closes under the program that has it
        open, and the link points at no device."""
        if self.dead:
            return
        os.close(self.master)
        os.close(self.slave)
        self.dead = True
        modem = self.modem
        modem.flood = None
        modem.state = "command"
        modem.deadline = modem.escape_at = None
        self.place_link(False)

    def revive(self):
        self.master, self.slave, self.name = open_linked_pty(None)
        self.dead = False

    def write_flood(self):
        """One helping of a flood, as much as the pty takes now."""
        data = self.modem.flood * max(1, 1024 // len(self.modem.flood))
        flags = fcntl.fcntl(self.master, fcntl.F_GETFL)
        fcntl.fcntl(self.master, fcntl.F_SETFL, flags | os.O_NONBLOCK)
        try:
            os.write(self.master, data)
        except (BlockingIOError, OSError):
            pass
        finally:
            fcntl.fcntl(self.master, fcntl.F_SETFL, flags)

    def place_link(self, present):
        if not self.link:
            return
        replace_link(self.name if present else os.path.dirname(self.name), self.link)

    def watch_control(self):
        if not self.control:
            return
        try:
            st = os.stat(self.control)
        except FileNotFoundError:
            return
        stamp = (st.st_mtime_ns, st.st_size)
        if stamp == self.seen:
            return
        try:
            new = load_profile(self.control)
        except (ValueError, OSError):
            return  # being written: read it next round
        self.seen = stamp
        self.profile = new
        if self.dead:
            self.revive()
        self.modem.set_profile(new)
        self.place_link(new.get("present", True))
        tmp = self.control + ".ack.tmp"
        with open(tmp, "w") as f:
            f.write(str(new.get("serial", 0)) + "\n")
        os.replace(tmp, self.control + ".ack")

    def receive(self):
        try:
            data = os.read(self.master, 4096)
        except OSError:
            data = b""
        if data:
            self.modem.feed(data)

    def close(self):
        if not self.dead:
            close_linked_pty(self.master, self.slave, self.name, self.link)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--profile", help="JSON profile (defaults: echo on, OK to everything)")
    ap.add_argument("--link", help="symlink to create to the pty slave (e.g. $WINEPREFIX/dosdevices/com5)")
    ap.add_argument("--ready", help="file to write the pty name into once ready")
    ap.add_argument("--log", help="file to append every command received to")
    ap.add_argument("--lifetime", type=float, default=900.0, help="exit after this many seconds")
    ap.add_argument("--control", help="profile file read again whenever it changes (see above)")
    ap.add_argument("--port", nargs=4, action="append", metavar=("CONTROL", "LINK", "READY", "LOG"),
                    help="one more port of this process, as --control, --link, --ready and --log give one")
    args = ap.parse_args()

    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))

    ports = []
    try:
        if args.port:
            for control, link, ready, log in args.port:
                ports.append(Port(link, ready, log, control, args.profile))
        else:
            ports.append(Port(args.link, args.ready, args.log, args.control, args.profile))
        end = time.monotonic() + args.lifetime
        while not stop and time.monotonic() < end:
            wait = 0.05  # how soon a changed profile is taken
            for port in ports:
                port.watch_control()
                if not port.dead:
                    port.modem.tick()
                event = port.modem.next_event()
                if event is not None:
                    wait = max(0.0, min(wait, event - time.monotonic()))
            live = [port for port in ports if not port.dead]
            by_fd = {port.master: port for port in live}
            flooding = [port.master for port in live if port.modem.flood]
            try:
                ready, writable, _ = select.select(list(by_fd), flooding, [], wait)
            except InterruptedError:
                continue
            for fd in ready:
                if not by_fd[fd].dead:
                    by_fd[fd].receive()
            for fd in writable:
                port = by_fd[fd]
                if not port.dead and port.modem.flood:
                    port.write_flood()
    finally:
        for port in ports:
            port.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
