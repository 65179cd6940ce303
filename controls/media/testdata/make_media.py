#!/usr/bin/env python3
"""Writes the media test's sample files into a TESTDATA folder: sine-tone
WAVE files, a short MIDI tune and a short video clip with sound, all made
here from numbers."""
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


def riff_chunk(fourcc, data):
    """One RIFF chunk: id, size, data, padded to an even length."""
    return fourcc + struct.pack('<I', len(data)) + data + (b'\0' if len(data) % 2 else b'')


def riff_list(kind, form, body):
    """A RIFF or LIST chunk of type `form` holding `body`."""
    return kind + struct.pack('<I', 4 + len(body)) + form + body


AVIF_HASINDEX = 0x10
AVIF_ISINTERLEAVED = 0x100
AVIIF_KEYFRAME = 0x10


def avi_frames(width, height, count):
    """Frames of 8-bit pixels, bottom row first: diagonal colour bands that
    drift, and a white square that crosses the picture and comes back."""
    side = height // 4
    frames = []
    for t in range(count):
        travel = width - side
        half = max(1, count // 2)
        sx = travel * t // half if t < half else travel * (count - t) // (count - half)
        sy = (height - side) // 2
        rows = []
        for y in range(height - 1, -1, -1):
            row = bytearray(1 + ((x + y + 3 * t) // 12) % 12 for x in range(width))
            if sy <= y < sy + side:
                row[sx:sx + side] = b'\x0f' * side
            rows.append(bytes(row) + bytes(-width % 4))  # rows of whole 32-bit words
        frames.append(b''.join(rows))
    return frames


def avi_palette():
    """Twelve band colours at 1..12 and white at 15 (256 entries, B G R 0)."""
    bands = [(230, 25, 75), (60, 180, 75), (255, 225, 25), (0, 130, 200), (245, 130, 48), (145, 30, 180),
             (70, 240, 240), (240, 50, 230), (210, 245, 60), (250, 190, 212), (0, 128, 128), (170, 110, 40)]
    colours = [(0, 0, 0)] + bands + [(0, 0, 0)] * 2 + [(255, 255, 255)]
    colours += [(0, 0, 0)] * (256 - len(colours))
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in colours)


def avi_bytes(width=128, height=96, fps=10, seconds=3, rate=22050, freq=440.0, amplitude=8000):
    """An AVI file: an uncompressed 8-bit video stream ('00db' chunks) and a
    mono 16-bit PCM stream ('01wb' chunks, one a frame, each before its
    frame), with its 'idx1' index."""
    count = fps * seconds
    frames = avi_frames(width, height, count)
    per_frame = rate // fps
    total = per_frame * count
    samples = []
    for i in range(total):
        fade = min(1.0, i / (rate * 0.01), (total - i) / (rate * 0.01))
        samples.append(int(amplitude * fade * math.sin(2 * math.pi * freq * i / rate)))
    sound = struct.pack('<%dh' % total, *samples)
    blocks = [sound[i * per_frame * 2:(i + 1) * per_frame * 2] for i in range(count)]
    frame_size = (width + 3) // 4 * 4 * height

    avih = struct.pack('<14I', 1000000 // fps, (frame_size + per_frame * 2) * fps, 0,
                       AVIF_HASINDEX | AVIF_ISINTERLEAVED, count, 0, 2, frame_size, width, height, 0, 0, 0, 0)
    vids = struct.pack('<4s4sIHHIIIIIIIIhhhh', b'vids', b'DIB ', 0, 0, 0, 0, 1, fps, 0, count, frame_size,
                       0xFFFFFFFF, frame_size, 0, 0, width, height)
    bih = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, frame_size, 0, 0, 256, 0) + avi_palette()
    auds = struct.pack('<4s4sIHHIIIIIIIIhhhh', b'auds', b'\0\0\0\0', 0, 0, 0, 0, 2, rate * 2, 0, total,
                       per_frame * 2, 0xFFFFFFFF, 2, 0, 0, 0, 0)
    wfx = struct.pack('<HHIIHHH', 1, 1, rate, rate * 2, 2, 16, 0)
    hdrl = riff_list(b'LIST', b'hdrl', riff_chunk(b'avih', avih) +
                     riff_list(b'LIST', b'strl', riff_chunk(b'strh', vids) + riff_chunk(b'strf', bih)) +
                     riff_list(b'LIST', b'strl', riff_chunk(b'strh', auds) + riff_chunk(b'strf', wfx)))

    movi = bytearray()
    index = bytearray()
    for block, frame in zip(blocks, frames):
        for fourcc, data in ((b'01wb', block), (b'00db', frame)):
            # Offsets count from the 'movi' type, the first chunk at 4.
            index += struct.pack('<4sIII', fourcc, AVIIF_KEYFRAME, 4 + len(movi), len(data))
            movi += riff_chunk(fourcc, data)
    body = hdrl + riff_list(b'LIST', b'movi', bytes(movi)) + riff_chunk(b'idx1', bytes(index))
    return riff_list(b'RIFF', b'AVI ', body)


def main(out):
    os.makedirs(out, exist_ok=True)
    write_tone(os.path.join(out, 'test.wav'), 440.0, 1.0)
    for i, freq in enumerate((523.25, 659.25, 783.99), start=1):
        write_tone(os.path.join(out, 'tone%d.wav' % i), freq, 0.1)
    write_midi(os.path.join(out, 'test.mid'))
    with open(os.path.join(out, 'test.avi'), 'wb') as f:
        f.write(avi_bytes())


if __name__ == '__main__':
    main(sys.argv[1])
