#!/usr/bin/env python3
"""A loopback plug of our own on a pseudo-terminal, for tests of the suite's
serial code under Wine.

It opens a pty, links its slave as a COM port of a Wine prefix
(`--link $WINEPREFIX/dosdevices/com1`) and sends back every byte that
arrives, as a loopback plug on a real port does. With --silent it reads and
drops everything (a port with nothing on the other side).

Once the link is in place the pty's name is written to --ready. The program
runs until SIGTERM / SIGINT, or --lifetime seconds, and then removes the
link when it still points at its pty. With --log, the number of bytes
received is written to that file at the end.
"""
import argparse
import os
import select
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from modemsim import close_linked_pty, open_linked_pty, write_ready  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--link", required=True, help="symlink to create to the pty slave")
    ap.add_argument("--ready", required=True, help="file to write the pty name into once ready")
    ap.add_argument("--silent", action="store_true", help="drop what arrives instead of sending it back")
    ap.add_argument("--log", help="file to write the count of bytes received into")
    ap.add_argument("--lifetime", type=float, default=600.0, help="exit after this many seconds")
    args = ap.parse_args()

    # Raw, so that the line discipline neither echoes nor edits.
    master, slave, name = open_linked_pty(args.link)

    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    write_ready(args.ready, name)

    received = 0
    end = time.monotonic() + args.lifetime
    try:
        while not stop and time.monotonic() < end:
            try:
                ready, _, _ = select.select([master], [], [], 0.2)
            except InterruptedError:
                continue
            if not ready:
                continue
            try:
                data = os.read(master, 4096)
            except OSError:
                data = b""
            received += len(data)
            if data and not args.silent:
                os.write(master, data)
    finally:
        close_linked_pty(master, slave, name, args.link)
        if args.log:
            with open(args.log, "w") as f:
                f.write("%d\n" % received)
    return 0


if __name__ == "__main__":
    sys.exit(main())
