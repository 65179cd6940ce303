#!/usr/bin/env python3
"""Writes the media test's sample files into a TESTDATA folder: sine-tone
WAVE files and a short MIDI tune, all made here from numbers."""
import math
import os
import struct
import sys
import wave


def write_tone(path, freq, seconds, rate=22050, amplitude=12000):
    frames = int(rate * seconds)
    data = bytearray()
    for i in range(frames):
        # Half-period fades at both ends keep the start and stop click-free.
        fade = min(1.0, i / (rate * 0.01), (frames - i) / (rate * 0.01))
        data += struct.pack('<h', int(amplitude * fade * math.sin(2 * math.pi * freq * i / rate)))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(data))


def write_midi(path, notes=(60, 64, 67, 72), ticks=240):
    events = bytearray(b'\x00\xc0\x00')  # piano
    for n in notes:
        events += bytes([0x00, 0x90, n, 0x60, 0x83, 0x60 & 0x7F, 0x80, n, 0x40])
    events += b'\x00\xff\x2f\x00'
    track = b'MTrk' + struct.pack('>I', len(events)) + bytes(events)
    header = b'MThd' + struct.pack('>IHHH', 6, 0, 1, ticks)
    with open(path, 'wb') as f:
        f.write(header + track)


def main(out):
    os.makedirs(out, exist_ok=True)
    write_tone(os.path.join(out, 'test.wav'), 440.0, 1.0)
    for i, freq in enumerate((523.25, 659.25, 783.99), start=1):
        write_tone(os.path.join(out, 'tone%d.wav' % i), freq, 0.1)
    write_midi(os.path.join(out, 'test.mid'))


if __name__ == '__main__':
    main(sys.argv[1])
