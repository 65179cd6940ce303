#!/usr/bin/env python3
"""The layout of the video clip that make_media.py ships, read back chunk by
chunk: what a player that goes by the headers and the index (as the MCI AVI
device on Windows does) finds there. Wine's player walks the 'movi' list
itself, so an index that is off would pass the end-to-end test under Wine
and fail on Windows."""
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'testdata'))
import make_media  # noqa: E402


def chunks(data, start, end):
    """The chunks between start and end as (id, header offset, size, form):
    each must lie inside, padded to an even length, and together they must
    fill the span exactly."""
    out = []
    at = start
    while at < end:
        if at + 8 > end:
            raise AssertionError('a cut chunk header at %d' % at)
        ckid, size = struct.unpack_from('<4sI', data, at)
        if at + 8 + size > end:
            raise AssertionError('%r at %d runs past its parent' % (ckid, at))
        form = data[at + 8:at + 12] if ckid in (b'RIFF', b'LIST') else None
        out.append((ckid, at, size, form))
        at += 8 + size + (size & 1)
    if at != end:
        raise AssertionError('the chunks end at %d, their parent at %d' % (at, end))
    return out


def body(entry):
    """Start and end of a chunk's data (after a list's form type)."""
    ckid, at, size, form = entry
    return (at + 12 if form else at + 8), at + 8 + size


def one(entries, ckid, form=None):
    found = [e for e in entries if e[0] == ckid and e[3] == form]
    if len(found) != 1:
        raise AssertionError('%d chunks %r %r' % (len(found), ckid, form))
    return found[0]


class TheShippedClip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = make_media.avi_bytes()
        top = chunks(cls.data, 0, len(cls.data))
        assert [(e[0], e[3]) for e in top] == [(b'RIFF', b'AVI ')], top
        cls.riff = chunks(cls.data, *body(top[0]))
        cls.hdrl = chunks(cls.data, *body(one(cls.riff, b'LIST', b'hdrl')))
        cls.movi_list = one(cls.riff, b'LIST', b'movi')
        cls.movi = chunks(cls.data, *body(cls.movi_list))

    def field(self, entry, fmt, offset=0):
        return struct.unpack_from(fmt, self.data, body(entry)[0] + offset)

    def test_the_headers_agree_with_the_streams_they_describe(self):
        d = self.data
        avih = one(self.hdrl, b'avih')
        self.assertEqual(avih[2], 56)
        us_per_frame, _, _, flags, frames, _, streams, _, width, height = self.field(avih, '<10I')
        self.assertTrue(flags & make_media.AVIF_HASINDEX)
        strls = [chunks(d, *body(e)) for e in self.hdrl if e[3] == b'strl']
        self.assertEqual(len(strls), streams)
        self.assertEqual(streams, 2)
        kinds = {}
        for n, strl in enumerate(strls):
            strh, strf = one(strl, b'strh'), one(strl, b'strf')
            self.assertEqual(strh[2], 56)
            kinds[self.field(strh, '<4s')[0]] = (n, strh, strf)

        n, strh, strf = kinds[b'vids']
        scale, rate, _, length = self.field(strh, '<4I', 20)
        bih = self.field(strf, '<IiiHHIIiiII')
        size, w, h, planes, bits, compression, image, _, _, used, _ = bih
        self.assertEqual((size, w, h, planes, compression), (40, width, height, 1, 0))
        self.assertEqual(strf[2], 40 + 4 * used, 'the colour table follows the header')
        stride = (w * bits // 8 + 3) & ~3
        self.assertEqual(image, stride * h)
        video = [e for e in self.movi if e[0] == b'%02ddb' % n]
        self.assertEqual(len(video), frames)
        self.assertEqual(length, frames)
        self.assertTrue(all(e[2] == image for e in video))
        self.assertEqual(us_per_frame * rate, 1000000 * scale)

        n, strh, strf = kinds[b'auds']
        scale, rate, _, length = self.field(strh, '<4I', 20)
        sample_size = self.field(strh, '<I', 44)[0]
        tag, channels, per_second, avg, align, bits = self.field(strf, '<HHIIHH')
        self.assertEqual((tag, align, avg, sample_size), (1, channels * bits // 8, per_second * align, align))
        self.assertEqual((scale, rate), (align, avg))
        sound = sum(e[2] for e in self.movi if e[0] == b'%02dwb' % n)
        self.assertEqual(sound, length * align)
        # Picture and sound last equally long: a few seconds.
        self.assertEqual(frames * us_per_frame, length * 1000000 // per_second)
        self.assertTrue(2 <= length / per_second <= 5, length / per_second)

    def test_the_index_names_every_chunk_of_the_movie_where_it_lies(self):
        idx1 = one(self.riff, b'idx1')
        start, end = body(idx1)
        self.assertEqual((end - start) % 16, 0)
        entries = [struct.unpack_from('<4sIII', self.data, at) for at in range(start, end, 16)]
        movi_type = self.movi_list[1] + 8  # where the offsets count from
        self.assertEqual(len(entries), len(self.movi))
        for (ckid, flags, offset, size), chunk in zip(entries, self.movi):
            self.assertEqual((ckid, movi_type + offset, size), (chunk[0], chunk[1], chunk[2]))
            self.assertTrue(flags & make_media.AVIIF_KEYFRAME, ckid)


if __name__ == '__main__':
    unittest.main()
