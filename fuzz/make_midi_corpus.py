#!/usr/bin/env python3
"""Writes the seed files of fuzz/corpus/midi: the sample song and a few tiny Standard MIDI Files
that each reach one corner of the song player (running status across meta and sysex events,
several tracks with ties, tempo changes, zero-length and truncated tracks).

    python3 fuzz/make_midi_corpus.py        (rewrites the seeds; the fuzzer adds its own files)
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus", "midi")
SAMPLE = os.path.join(HERE, "..", "sample", "cfg", "0102.mid")


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def header(fmt, tracks, division):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, tracks, division)


def track(*events):
    """events: (delta, bytes) pairs; the end of track is added."""
    body = b"".join(vlq(delta) + data for delta, data in events) + b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def tempo(micros):
    return b"\xff\x51\x03" + struct.pack(">I", micros)[1:]


SEEDS = {
    "one_note.mid": header(0, 1, 96) + track((0, b"\x90\x3c\x64"), (96, b"\x80\x3c\x00")),
    "running_status.mid": header(0, 1, 480) + track(
        (0, tempo(400000)), (0, b"\x90\x3c\x64"), (10, b"\x40\x64"),
        (5, b"\xff\x01\x03abc"), (5, b"\x3c\x00"), (5, b"\xf0\x03\x7e\x7f\xf7"),
        (5, b"\x40\x00"), (0, b"\xc0\x05"), (1, b"\x06"), (0, b"\xe0\x00\x40")),
    "two_tracks.mid": header(1, 2, 120) + track((0, tempo(500000)), (240, tempo(250000))) +
        track((0, b"\x91\x40\x50"), (120, b"\x81\x40\x00"), (0, b"\x91\x43\x50"),
        (120, b"\x43\x00")),
    "empty_tracks.mid": header(1, 3, 96) + b"MTrk\x00\x00\x00\x00" +
        track((0, b"\x90\x30\x40"), (1, b"\x80\x30\x00")) + b"MTrk\x00\x00\x00\x00",
    "long_deltas.mid": header(0, 1, 1) + track(
        (0, tempo(1)), (0x0FFFFFFF, b"\x90\x3c\x64"), (0x0FFFFFFF, b"\x80\x3c\x00")),
    "missing_status.mid": header(0, 1, 96) + track((0, b"\x3c\x64")),
    "truncated.mid": (header(0, 1, 96) + track((0, b"\x90\x3c\x64"), (96, b"\x80\x3c\x00")))[:-5],
    # Rounds of no time (all at tick 0; one tick at the fastest tempo and finest division): a
    # looping player must not replay them for ever at one instant.
    "zero_round.mid": header(0, 1, 96) + track((0, b"\x90\x3c\x64")),
    "fast_round.mid": header(0, 1, 0x7FFF) + track(
        (0, tempo(1)), (0, b"\x90\x3c\x64"), (1, b"\x80\x3c\x00")),
    "many_events.mid": header(0, 1, 24) + track(
        *[(1, bytes([0x90 | (i % 16), i % 128, 64])) for i in range(400)]),
}


def main():
    os.makedirs(CORPUS, exist_ok=True)
    shutil.copyfile(SAMPLE, os.path.join(CORPUS, "0102.mid"))
    for name, data in SEEDS.items():
        with open(os.path.join(CORPUS, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
