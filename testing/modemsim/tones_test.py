#!/usr/bin/env python3
"""The simulator's tone dial against stand-in pactl and pacat programs (no
sound server, no Wine): the tones wait for the recording, however late it
starts, and play at once when it runs already."""
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

SIM = os.path.join(os.path.dirname(os.path.abspath(__file__)), "modemsim.py")

# pactl: a recorder corked until the file "recording" exists.
PACTL = """#!/bin/sh
echo "Source Output #7"
if [ -e "$SIMTEST_DIR/recording" ]; then echo "	Corked: no"; else echo "	Corked: yes"; fi
"""
# pacat: notes whether the recording ran when the tones started, and the
# bytes it was given.
PACAT = """#!/bin/sh
if [ -e "$SIMTEST_DIR/recording" ]; then state=recording; else state=before; fi
bytes=$(wc -c)
echo "$state $bytes" >>"$SIMTEST_DIR/played"
"""


class ToneDial(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        bin_dir = os.path.join(self.dir, "bin")
        os.mkdir(bin_dir)
        for name, text in (("pactl", PACTL), ("pacat", PACAT)):
            path = os.path.join(bin_dir, name)
            with open(path, "w") as f:
                f.write(text)
            os.chmod(path, 0o755)
        self.env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], SIMTEST_DIR=self.dir)
        profile = os.path.join(self.dir, "port.json")
        with open(profile, "w") as f:
            json.dump({"serial": 1, "echo": False, "tones": True}, f)
        self.link = os.path.join(self.dir, "com1")
        ready = os.path.join(self.dir, "ready")
        self.sim = subprocess.Popen([sys.executable, SIM, "--port", profile, self.link, ready,
                                     os.path.join(self.dir, "log"), "--lifetime", "60"], env=self.env)
        self.assertTrue(self.wait(lambda: os.path.exists(ready), 20), "the simulator did not start")
        self.port = os.open(self.link, os.O_RDWR | os.O_NOCTTY)

    def tearDown(self):
        os.close(self.port)
        self.sim.terminate()
        self.sim.wait(10)
        subprocess.run(["rm", "-rf", self.dir])

    @staticmethod
    def wait(done, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if done():
                return True
            time.sleep(0.02)
        return done()

    def played(self):
        path = os.path.join(self.dir, "played")
        return open(path).read().split() if os.path.exists(path) else []

    def dial(self):
        os.write(self.port, b"ATS6=0x0dt5551234\r")

    def test_tones_wait_for_a_recording_that_starts_late(self):
        self.dial()
        time.sleep(1.5)  # a recorder slow to start: nothing may play meanwhile
        self.assertEqual(self.played(), [])
        open(os.path.join(self.dir, "recording"), "w").close()
        self.assertTrue(self.wait(lambda: self.played(), 20), "no tones after the recording started")
        state, size = self.played()
        self.assertEqual(state, "recording")
        self.assertEqual(int(size), 2 * (8000 * 1500 // 1000 + 7 * 8000 * 180 // 1000))

    def test_tones_play_into_a_recording_that_runs(self):
        open(os.path.join(self.dir, "recording"), "w").close()
        self.dial()
        self.assertTrue(self.wait(lambda: self.played(), 20), "no tones")
        self.assertEqual(self.played()[0], "recording")


if __name__ == "__main__":
    unittest.main()
