#!/usr/bin/env python3
"""Writes the small installation that the Wine tests of the engine library run on.

    make_installation.py SAMPLE_CFG OUTDIR

OUTDIR/cfg gets a copy of the sample configuration (bible.ini, bible.css, quillets.js, the
song) and a few text modules of our own, in ASCII so their bytes are the same in every code
page:
  - sys/tessaly.txt + .inx: the chain-reference module with Genesis 1 and 2 (":=" key lines,
    index entries pointing after them);
  - sys/corpa.txt: the main text that the word search reads (no index needed), without blanks
    as the derived main text is.
"""
import shutil
import struct
import sys
from pathlib import Path

GENESIS = [
    ("01001", "$1In the beginning God created the heaven and the earth.\r\n"
              "$2And the earth was without form, and void.\r\n"),
    ("01002", "$1Thus the heavens and the earth were finished.\r\n"),
]

# The main text has no blanks (the derivation of the main text strips them; the word search
# takes a blank as the exclusion word when none is given).
MAIN_TEXT = (
    "01001=#1InTheBeginningGodCreatedTheHeavenAndTheEarth."
    "#2AndTheEarthWasWithoutForm.\n"
    "01002=#1ThusTheHeavensAndTheEarthWereFinished.\n"
)


def chapter_module(records):
    """Text and index of a module whose records follow "key:=" lines."""
    text = b""
    index = b""
    for key, body in records:
        text += (key + ":=\r\n").encode("ascii")
        number = int(key[:2]) * 1000 + int(key[2:5])
        index += struct.pack("<H", number - 1000) + b":=" + struct.pack("<I", len(text))
        text += body.encode("ascii")
    index += b"=" + struct.pack("<I", len(text))
    return text, index


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    sample, out = Path(sys.argv[1]), Path(sys.argv[2])
    cfg = out / "cfg"
    if cfg.exists():
        shutil.rmtree(cfg)
    shutil.copytree(sample, cfg)
    (cfg / "sys").mkdir(exist_ok=True)
    (cfg / "usr").mkdir(exist_ok=True)
    text, index = chapter_module(GENESIS)
    (cfg / "sys" / "tessaly.txt").write_bytes(text)
    (cfg / "sys" / "tessaly.inx").write_bytes(index)
    (cfg / "sys" / "corpa.txt").write_bytes(MAIN_TEXT.encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
