#!/usr/bin/env python3
"""Exports a public-domain English Bible that Debian ships for SWORD into the set-up tool's
import format.

    export_kjv.py [--module NAME] [--range KEYS] [--osis] [--diatheke PROGRAM] OUTPUT

Reads the whole Bible with `diatheke` (package diatheke; the King James Version comes with
sword-text-kjv, module engKJV2006eb; sword-text-web gives the World English Bible, module
engWEB2015eb, best read with --osis) and writes one line per verse, in GBK (the text is plain
ASCII):

    abbreviation TAB book TAB chapter TAB verse TAB text   (LF)

with the book numbered 1-66 in the order Genesis to Revelation, as `envoke -import OUTPUT`
expects. diatheke prints every verse as one line "Book C:V: text"; its plain renderer also
prints section headings and psalm titles on lines of their own (and repeats some of them), so
only lines of that form with one of the 66 book names are taken. Paragraph marks are dropped,
typographic quotes and dashes become ASCII, and any other character that GBK cannot write is
left out (counted in the summary on standard error).

--range takes a diatheke key list such as "Gen 1-3;Ps 23" to export only those chapters (the
sample installation keeps a handful); without it the whole Bible is exported and all 66 books
must come out.

--osis reads diatheke's OSIS output instead of the plain one: the WEB module's plain output
runs some words together ("Godcreated"), which the word elements of the OSIS output keep apart.

Exit codes: 0 written, 1 the output is wrong (no verses, books out of order), 2 diatheke or the
module is not available.
"""

import argparse
import re
import shutil
import subprocess
import sys

# The 66 books: the name diatheke's English locale prints, and the abbreviation of field 1.
BOOKS = [
    ("Genesis", "gen"), ("Exodus", "exod"), ("Leviticus", "lev"), ("Numbers", "num"),
    ("Deuteronomy", "deut"), ("Joshua", "josh"), ("Judges", "judg"), ("Ruth", "ruth"),
    ("I Samuel", "1sam"), ("II Samuel", "2sam"), ("I Kings", "1kgs"), ("II Kings", "2kgs"),
    ("I Chronicles", "1chr"), ("II Chronicles", "2chr"), ("Ezra", "ezra"), ("Nehemiah", "neh"),
    ("Esther", "esth"), ("Job", "job"), ("Psalms", "psa"), ("Proverbs", "prov"),
    ("Ecclesiastes", "eccl"), ("Song of Solomon", "song"), ("Isaiah", "isa"), ("Jeremiah", "jer"),
    ("Lamentations", "lam"), ("Ezekiel", "ezek"), ("Daniel", "dan"), ("Hosea", "hos"),
    ("Joel", "joel"), ("Amos", "amos"), ("Obadiah", "obad"), ("Jonah", "jonah"),
    ("Micah", "mic"), ("Nahum", "nah"), ("Habakkuk", "hab"), ("Zephaniah", "zeph"),
    ("Haggai", "hag"), ("Zechariah", "zech"), ("Malachi", "mal"), ("Matthew", "matt"),
    ("Mark", "mark"), ("Luke", "luke"), ("John", "john"), ("Acts", "acts"),
    ("Romans", "rom"), ("I Corinthians", "1cor"), ("II Corinthians", "2cor"), ("Galatians", "gal"),
    ("Ephesians", "eph"), ("Philippians", "phil"), ("Colossians", "col"),
    ("I Thessalonians", "1thess"), ("II Thessalonians", "2thess"), ("I Timothy", "1tim"),
    ("II Timothy", "2tim"), ("Titus", "titus"), ("Philemon", "phlm"), ("Hebrews", "heb"),
    ("James", "jas"), ("I Peter", "1pet"), ("II Peter", "2pet"), ("I John", "1john"),
    ("II John", "2john"), ("III John", "3john"), ("Jude", "jude"), ("Revelation of John", "rev"),
]
WHOLE_BIBLE = "Gen-Rev"
BOOK_NUMBER = {name: number for number, (name, _) in enumerate(BOOKS, start=1)}

# A verse line: a book name, chapter and verse, then the text. In OSIS output a psalm title
# stands on the verse's line before its book name.
VERSE_LINE = re.compile(r"(?:^|\s)(?P<book>%s) (?P<chapter>\d+):(?P<verse>\d+):\s?(?P<text>.*)$"
                        % "|".join(re.escape(name) for name in
                                   sorted(BOOK_NUMBER, key=len, reverse=True)))

# Typographic characters of the English texts and their ASCII forms.
ASCII_FORMS = {
    "\u00b6": "",  # paragraph mark
    "\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"',
    "\u2013": "-", "\u2014": "--", "\u00c6": "AE", "\u00e6": "ae",
}


def clean_text(text, dropped):
    """The verse text as GBK-writable text; characters GBK lacks are counted in dropped."""
    out = []
    for ch in text:
        ch = ASCII_FORMS.get(ch, ch)
        try:
            ch.encode("gbk")
        except UnicodeEncodeError:
            dropped[0] += 1
            continue
        out.append(ch)
    # A dropped paragraph mark leaves its blank behind; runs of blanks become one.
    return re.sub(r"\s+", " ", "".join(out)).strip()


def strip_osis(text):
    """The words of a verse in diatheke's OSIS output. Notes are dropped; a word element that
    directly follows another word, a punctuation mark or a closing quote gets the blank that
    the plain output loses there (the WEB writes "God</w><w>created"); then every tag goes."""
    text = re.sub(r"<note\b.*?</note>", "", text)
    text = re.sub(r"(?<=[^\s\u201c\u2018(\[])(?=<w[ >])", " ", text)
    return re.sub(r"<[^>]*>", "", text)


def parse_diatheke(lines, osis=False):
    """Yields (book number, chapter, verse, text, dropped count) for every verse line."""
    dropped = [0]
    for line in lines:
        match = VERSE_LINE.search(line.rstrip("\n"))
        if not match:
            continue  # a heading or a title
        dropped[0] = 0
        text = clean_text(strip_osis(match.group("text")) if osis else match.group("text"), dropped)
        yield (BOOK_NUMBER[match.group("book")], int(match.group("chapter")),
               int(match.group("verse")), text, dropped[0])


def export(lines, out, osis=False):
    """Writes the import lines; returns (verses, books, dropped characters). Raises ValueError
    when the verses do not come in Bible order. osis: the lines are diatheke's OSIS output."""
    verses = 0
    dropped = 0
    last = (0, 0, 0)
    books = set()
    for book, chapter, verse, text, lost in parse_diatheke(lines, osis):
        if (book, chapter, verse) <= last:
            raise ValueError(f"verse {book} {chapter}:{verse} out of order after {last}")
        last = (book, chapter, verse)
        books.add(book)
        verses += 1
        dropped += lost
        out.write(f"{BOOKS[book - 1][1]}\t{book}\t{chapter}\t{verse}\t{text}\n".encode("gbk"))
    return verses, len(books), dropped


def module_installed(program, module):
    """Whether diatheke (at program) lists the SWORD module."""
    modules = subprocess.run([program, "-b", "system", "-k", "modulelist"],
                             capture_output=True, text=True, check=False).stdout
    return re.search(rf"^{re.escape(module)} :", modules, re.MULTILINE) is not None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("output", help="file to write (the import file of envoke -import)")
    parser.add_argument("--module", default="engKJV2006eb", help="SWORD module (default: %(default)s)")
    parser.add_argument("--range", default=WHOLE_BIBLE,
                        help="diatheke key list of the chapters to export (default: %(default)s)")
    parser.add_argument("--osis", action="store_true",
                        help="read diatheke's OSIS output (the WEB module's plain output loses "
                             "the blank between some words)")
    parser.add_argument("--diatheke", default="diatheke", help="the diatheke program")
    args = parser.parse_args(argv)

    program = shutil.which(args.diatheke)
    if program is None:
        print("export_kjv: diatheke is not installed (Debian package diatheke)", file=sys.stderr)
        return 2
    if not module_installed(program, args.module):
        print(f"export_kjv: the SWORD module {args.module} is not installed "
              "(Debian package sword-text-kjv)", file=sys.stderr)
        return 2
    output_format = "osis" if args.osis else "plain"
    result = subprocess.run([program, "-b", args.module, "-f", output_format, "-l", "en",
                             "-k", args.range],
                            capture_output=True, check=False)
    lines = result.stdout.decode("utf-8", errors="replace").splitlines()
    try:
        with open(args.output, "wb") as out:
            verses, books, dropped = export(lines, out, args.osis)
    except ValueError as error:
        print(f"export_kjv: {error}", file=sys.stderr)
        return 1
    print(f"export_kjv: {verses} verses of {books} books written to {args.output}"
          f" ({dropped} characters without a GBK form left out)", file=sys.stderr)
    complete = books == 66 or args.range != WHOLE_BIBLE
    return 0 if verses > 0 and complete else 1


if __name__ == "__main__":
    sys.exit(main())
