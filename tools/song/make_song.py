#!/usr/bin/env python3
"""Writes the reading-wheel song of the sample installation, sample/cfg/0102.mid.

    python3 tools/song/make_song.py             write sample/cfg/0102.mid
    python3 tools/song/make_song.py --check     change nothing; exit 1 when the file is not
                                                what this script writes
    python3 tools/song/make_song.py --out PATH  write somewhere else

The tune is our own: eight bars of a slow waltz in C major, a music-box melody over a
bass-and-chord accompaniment, with a broadening of the tempo in the last two bars. The file is a
Standard MIDI File of format 1 with two tracks and 480 ticks per quarter note:

- track 0: name, time and key signature, tempo 100 (then 84 from bar 7), the melody on
  channel 0 (music box);
- track 1: the accompaniment on channel 1 (acoustic grand piano): the root on beat 1, the
  chord on beats 2 and 3.

Notes end with "note on, velocity 0" written in running status, as most files do. The last
note of both tracks ends exactly at the end of bar 8, so that the song loops without a gap: the
player starts the next round right after the last event.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
TARGET = os.path.join(ROOT, "sample", "cfg", "0102.mid")

DIVISION = 480          # ticks per quarter note
BAR = 3 * DIVISION      # 3/4
TEMPO_START = 600000    # microseconds per quarter note: 100 a minute
TEMPO_END = 714286      # 84 a minute, from bar 7
MELODY_CHANNEL = 0
ACCOMPANIMENT_CHANNEL = 1
MUSIC_BOX = 10          # General MIDI program 11, counted from 0
PIANO = 0

NOTE = {"C3": 48, "D3": 50, "E3": 52, "F3": 53, "G3": 55, "A3": 57, "B3": 59,
        "C4": 60, "D4": 62, "E4": 64, "F4": 65, "G4": 67, "A4": 69, "B4": 71,
        "C5": 72, "D5": 74, "E5": 76, "G2": 43, "A2": 45, "F2": 41, "D2": 38, "C2": 36}

# The melody, bar by bar: (note, length in quarter notes).
MELODY = [
    [("E4", 1), ("G4", 1), ("C5", 1)],
    [("B4", 3)],
    [("A4", 1), ("G4", 1), ("F4", 1)],
    [("E4", 2), ("G4", 1)],
    [("F4", 1), ("A4", 1), ("D5", 1)],
    [("C5", 1), ("B4", 1), ("A4", 1)],
    [("G4", 1), ("E4", 1), ("D4", 1)],
    [("C4", 3)],
]

# The harmony of each bar: bass note, then the chord of beats 2 and 3.
HARMONY = [
    ("C3", ["E3", "G3", "C4"]),
    ("G2", ["D3", "G3", "B3"]),
    ("F2", ["F3", "A3", "C4"]),
    ("C3", ["E3", "G3", "C4"]),
    ("D3", ["F3", "A3", "D4"]),
    ("A2", ["E3", "A3", "C4"]),
    ("G2", ["D3", "F3", "B3"]),
    ("C2", ["E3", "G3", "C4"]),
]


def variable_length(value):
    """A MIDI variable-length quantity."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def meta(kind, data):
    return bytes([0xFF, kind]) + variable_length(len(data)) + data


def tempo(microseconds):
    return meta(0x51, microseconds.to_bytes(3, "big"))


class Track:
    """Events at absolute ticks, written in order with running status."""

    def __init__(self):
        self.events = []  # (tick, order, bytes-without-delta, status or None)

    def add(self, tick, data, status=None):
        self.events.append((tick, len(self.events), data, status))

    def note(self, tick, length, channel, key, velocity):
        self.add(tick, bytes([0x90 | channel, key, velocity]), 0x90 | channel)
        # The note's end comes before any note that starts at the same tick.
        self.events.append((tick + length, -1, bytes([0x90 | channel, key, 0]), 0x90 | channel))

    def encode(self, end_tick):
        out = bytearray()
        now = 0
        running = None
        for tick, _, data, status in sorted(self.events, key=lambda e: (e[0], e[1])):
            out += variable_length(tick - now)
            now = tick
            if status is not None and status == running:
                out += data[1:]
            else:
                out += data
                # Meta events cancel running status for readers that follow the standard.
                running = status
        out += variable_length(end_tick - now) + meta(0x2F, b"")
        return b"MTrk" + len(out).to_bytes(4, "big") + bytes(out)


def build():
    song_end = len(MELODY) * BAR

    melody = Track()
    melody.add(0, meta(0x03, b"Wheel waltz"))
    melody.add(0, meta(0x58, bytes([3, 2, 24, 8])))  # 3/4
    melody.add(0, meta(0x59, bytes([0, 0])))          # C major
    melody.add(0, tempo(TEMPO_START))
    melody.add(6 * BAR, tempo(TEMPO_END))
    melody.add(0, bytes([0xC0 | MELODY_CHANNEL, MUSIC_BOX]), 0xC0 | MELODY_CHANNEL)
    melody.add(0, bytes([0xB0 | MELODY_CHANNEL, 7, 110]), 0xB0 | MELODY_CHANNEL)
    for bar, notes in enumerate(MELODY):
        tick = bar * BAR
        for name, quarters in notes:
            length = quarters * DIVISION
            melody.note(tick, length, MELODY_CHANNEL, NOTE[name], 96)
            tick += length

    accompaniment = Track()
    accompaniment.add(0, meta(0x03, b"Accompaniment"))
    accompaniment.add(0, bytes([0xC0 | ACCOMPANIMENT_CHANNEL, PIANO]), 0xC0 | ACCOMPANIMENT_CHANNEL)
    accompaniment.add(0, bytes([0xB0 | ACCOMPANIMENT_CHANNEL, 7, 80]), 0xB0 | ACCOMPANIMENT_CHANNEL)
    for bar, (bass, chord) in enumerate(HARMONY):
        start = bar * BAR
        last = bar == len(HARMONY) - 1
        # The closing bar holds its bass and chord to the end.
        accompaniment.note(start, BAR if last else DIVISION, ACCOMPANIMENT_CHANNEL,
                           NOTE[bass], 70)
        beats = [(DIVISION, 2 * DIVISION)] if last else [(DIVISION, DIVISION),
                                                         (2 * DIVISION, DIVISION)]
        for offset, length in beats:
            for name in chord:
                accompaniment.note(start + offset, length, ACCOMPANIMENT_CHANNEL, NOTE[name], 56)

    header = b"MThd" + (6).to_bytes(4, "big") + (1).to_bytes(2, "big") + \
        (2).to_bytes(2, "big") + DIVISION.to_bytes(2, "big")
    return header + melody.encode(song_end) + accompaniment.encode(song_end)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="exit 1 when the file differs from what this script writes")
    parser.add_argument("--out", default=TARGET, help="file to write (default: %(default)s)")
    args = parser.parse_args(argv)
    song = build()
    if args.check:
        try:
            with open(args.out, "rb") as existing:
                same = existing.read() == song
        except OSError:
            same = False
        if not same:
            print(f"make_song: {args.out} is stale; run tools/song/make_song.py", file=sys.stderr)
            return 1
        return 0
    with open(args.out, "wb") as out:
        out.write(song)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
