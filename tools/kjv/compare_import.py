#!/usr/bin/env python3
"""Imports public-domain Bibles that Debian ships with `envoke -import` and checks every verse
against an independent plain-text export of the same verses by `diatheke`.

    compare_import.py --envoke PROGRAM [--work DIR] [--report FILE] EDITION...

Editions (each imported into a fresh installation under DIR, default a temporary folder):

    kjv-osis   the King James Version as OSIS XML: `mod2osis engKJV2006eb` (sword-text-kjv,
               libsword-utils), against diatheke on engKJV2006eb
    web-osis   the World English Bible as OSIS XML: `mod2osis engWEB2015eb` (sword-text-web),
               against diatheke on engWEB2015eb
    web-usfm   the World English Bible in USFM, one file per book, as Debian's bibledit-data
               ships it (/usr/share/bibledit/demo), against diatheke on engWEB2015eb: another
               revision of the same translation (words revised, "king" made "King", Romans
               14:24-26 where Debian's SWORD text has them inside 14:23), so up to 7 % of its
               verses may differ and a book's verse count by up to 1 % (both are listed)

For every edition: the verse count of every book equals diatheke's (a range such as "3-4"
counts for its verses; verses without text do not count); every verse's text equals
diatheke's after normalisation (below), within the edition's tolerance; no Strong's number
and no note text is left in the module.

Normalisation of both sides: diatheke's markup is removed; what GBK cannot write becomes "?",
as the import does; markers of another format left in the text by a faulty conversion ("\\nd")
are removed; then only letters and digits count (white space, punctuation and "?" go), so
"God created" and diatheke's "Godcreated" (its renderer loses the blank where a note stood)
agree.

Exit codes: 0 every check passed, 1 a check failed, 2 a tool or module is missing.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import export_kjv  # noqa: E402

BIBLEDIT_WEB = "/usr/share/bibledit/demo"
# The bibledit WEB is another revision than Debian's SWORD WEB (2015): this share of its verses
# may differ in their words, and this share of a book's verse count.
TOLERANCE_WEB_USFM = 0.07
TOLERANCE_WEB_USFM_BOOK = 0.01

EDITIONS = {
    # name: (SWORD module for diatheke, source, (share of verses, share of a book's count))
    "kjv-osis": ("engKJV2006eb", ("mod2osis", "engKJV2006eb"), (0.0, 0.0)),
    "web-osis": ("engWEB2015eb", ("mod2osis", "engWEB2015eb"), (0.0, 0.0)),
    "web-usfm": ("engWEB2015eb", ("folder", BIBLEDIT_WEB), (TOLERANCE_WEB_USFM, TOLERANCE_WEB_USFM_BOOK)),
}

HEADER = re.compile(r"^(\d{2})(\d{3}):=$")
STRAY_MARKER = re.compile(r"\\\+?[a-z]+\d*\*?")
STRONGS = re.compile(r"\b[HG]\d{3,5}\b|strong:[HG]?\d|lemma=")
# A verse line of diatheke's OSIS output: "Book C:V: text". What stands before the book name (a
# psalm title, which diatheke repeats on later lines too) ends in a blank or a tag.
VERSE_LINE = re.compile(r"(?:^|[\s>])(?P<book>%s) (?P<chapter>\d+):(?P<verse>\d+): ?(?P<text>.*)$"
                        % "|".join(re.escape(name) for name in
                                   sorted(export_kjv.BOOK_NUMBER, key=len, reverse=True)))
USFM_BOOKS = ["GEN", "EXO", "LEV", "NUM", "DEU", "JOS", "JDG", "RUT", "1SA", "2SA", "1KI", "2KI",
              "1CH", "2CH", "EZR", "NEH", "EST", "JOB", "PSA", "PRO", "ECC", "SNG", "ISA", "JER",
              "LAM", "EZK", "DAN", "HOS", "JOL", "AMO", "OBA", "JON", "MIC", "NAM", "HAB", "ZEP",
              "HAG", "ZEC", "MAL", "MAT", "MRK", "LUK", "JHN", "ACT", "ROM", "1CO", "2CO", "GAL",
              "EPH", "PHP", "COL", "1TH", "2TH", "1TI", "2TI", "TIT", "PHM", "HEB", "JAS", "1PE",
              "2PE", "1JN", "2JN", "3JN", "JUD", "REV"]
OSIS_BOOKS = ["Gen", "Exod", "Lev", "Num", "Deut", "Josh", "Judg", "Ruth", "1Sam", "2Sam", "1Kgs",
              "2Kgs", "1Chr", "2Chr", "Ezra", "Neh", "Esth", "Job", "Ps", "Prov", "Eccl", "Song",
              "Isa", "Jer", "Lam", "Ezek", "Dan", "Hos", "Joel", "Amos", "Obad", "Jonah", "Mic",
              "Nah", "Hab", "Zeph", "Hag", "Zech", "Mal", "Matt", "Mark", "Luke", "John", "Acts",
              "Rom", "1Cor", "2Cor", "Gal", "Eph", "Phil", "Col", "1Thess", "2Thess", "1Tim",
              "2Tim", "Titus", "Phlm", "Heb", "Jas", "1Pet", "2Pet", "1John", "2John", "3John",
              "Jude", "Rev"]


def normalize(text):
    """Letters and digits only, after the GBK conversion the import makes."""
    text = STRAY_MARKER.sub("", text)
    text = text.encode("gbk", errors="replace").decode("gbk")
    return "".join(ch for ch in text if ch.isalnum())


def diatheke_verses(program, module):
    """{(book, chapter, verse): text} from diatheke's OSIS output, markup removed."""
    result = subprocess.run([program, "-b", module, "-f", "osis", "-l", "en", "-k", "Gen-Rev"],
                            capture_output=True, check=False)
    verses = {}
    for line in result.stdout.decode("utf-8", errors="replace").splitlines():
        match = VERSE_LINE.search(line)
        if not match:
            continue
        key = (export_kjv.BOOK_NUMBER[match.group("book")], int(match.group("chapter")),
               int(match.group("verse")))
        verses[key] = export_kjv.strip_osis(match.group("text"))
    return verses


def module_verses(path, reference):
    """[(book, chapter, [verse numbers], text)] of a module; labels are read with the help of the
    reference's verse numbers, since a verse line is "$" + label + text with nothing between."""
    with open(path, "rb") as handle:
        lines = handle.read().decode("gbk", errors="replace").split("\n")
    out = []
    book = chapter = previous = 0
    for line in lines:
        line = line.rstrip("\r")
        header = HEADER.match(line)
        if header:
            book, chapter, previous = int(header.group(1)), int(header.group(2)), 0
            continue
        if not line.startswith("$"):
            continue
        body = line[1:]
        span = re.match(r"(\d+)-(\d+)", body)
        if span and all((book, chapter, v) in reference
                        for v in range(int(span.group(1)), int(span.group(2)) + 1)):
            numbers = list(range(int(span.group(1)), int(span.group(2)) + 1))
            text = body[span.end():]
        else:
            digits = re.match(r"\d+", body)
            label = digits.group(0) if digits else ""
            # All the digits are the label when that verse exists; otherwise a shorter prefix
            # that is the verse after the previous one (the text begins with a number).
            if label and (book, chapter, int(label)) not in reference:
                for end in range(len(label) - 1, 0, -1):
                    if int(label[:end]) == previous + 1 and (book, chapter, previous + 1) in reference:
                        label = label[:end]
                        break
            numbers = [int(label)] if label else []
            text = body[len(label):]
        if numbers:
            previous = numbers[-1]
        out.append((book, chapter, numbers, text))
    return out


def usfm_notes(folder):
    """{(book, chapter, verse): ([note text], [])} of the USFM files of a folder: the footnotes
    and cross references ("\\f ... \\f*", "\\x ... \\x*") of every verse."""
    extras = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".usfm"):
            continue
        with open(os.path.join(folder, name), encoding="utf-8-sig", errors="replace") as handle:
            text = handle.read()
        code = re.search(r"^\\id (\w+)", text, re.MULTILINE)
        if not code or code.group(1).upper() not in USFM_BOOKS:
            continue
        book = USFM_BOOKS.index(code.group(1).upper()) + 1
        chapter = verse = 0
        for token in re.finditer(r"\\c (\d+)|\\v (\d+)|\\(f|fe|x) (.*?)\\\3\*", text, re.S):
            if token.group(1):
                chapter, verse = int(token.group(1)), 0
            elif token.group(2):
                verse = int(token.group(2))
            elif chapter and verse:
                note = re.sub(r"\\\+?\w+\*?", " ", token.group(4))
                note = re.sub(r"^\s*[+-]\s*", "", note).strip()
                if len(normalize(note)) >= 12:
                    extras.setdefault((book, chapter, verse), ([], []))[0].append(note)
    return extras


def source_extras(source):
    """From an OSIS source (one verse a line, as mod2osis writes it): {(book, chapter, verse):
    ([note text], [speaker label])}. The notes must not be in the module; the speaker labels
    (<speaker>, headings the import drops) diatheke writes into the verse, so they are taken
    out of its text before the comparison."""
    extras = {}
    if os.path.isdir(source):
        return usfm_notes(source)
    book_numbers = {name: number for number, name in enumerate(OSIS_BOOKS, start=1)}
    with open(source, encoding="utf-8", errors="replace") as handle:
        for line in handle:
            verse = re.search(r'<verse osisID="([A-Za-z0-9]+)\.(\d+)\.(\d+)', line)
            if not verse or verse.group(1) not in book_numbers:
                continue
            key = (book_numbers[verse.group(1)], int(verse.group(2)), int(verse.group(3)))
            notes, speakers = extras.setdefault(key, ([], []))
            for note in re.findall(r"<note\b[^>]*>(.*?)</note>", line):
                text = re.sub(r"<reference\b.*?</reference>", "", note)
                text = re.sub(r"<[^>]*>", "", text).strip()
                if len(normalize(text)) >= 12:
                    notes.append(text)
            for speaker in re.findall(r"<speaker\b[^>]*>(.*?)</speaker>", line):
                speakers.append(re.sub(r"<[^>]*>", "", speaker))
    return extras


def compare(edition, module_path, reference, source, tolerance, report):
    ours = module_verses(module_path, reference)
    problems = []
    # Verse counts per book.
    counts_ours = {}
    counts_ref = {}
    # Verses without text do not count: diatheke prints every verse of its versification, also
    # those the edition does not have (Romans 16:26, III John 1:15 ...), and an import keeps a
    # verse whose only content was a note as an empty line.
    for book, _, numbers, text in ours:
        if normalize(text):
            counts_ours[book] = counts_ours.get(book, 0) + len(numbers)
    for (book, _, _), text in reference.items():
        if normalize(text):
            counts_ref[book] = counts_ref.get(book, 0) + 1
    verse_tolerance, count_tolerance = tolerance
    count_notes = []
    for book in range(1, 67):
        mine, theirs = counts_ours.get(book, 0), counts_ref.get(book, 0)
        if mine != theirs:
            text = f"book {book} ({export_kjv.BOOKS[book - 1][0]}): {mine} verses, diatheke {theirs}"
            (count_notes if abs(mine - theirs) <= count_tolerance * theirs else problems).append(text)
    extras = source_extras(source)

    def expected_text(key):
        text = normalize(reference.get(key, ""))
        for speaker in extras.get(key, ([], []))[1]:
            text = text.replace(normalize(speaker), "", 1)
        return text

    # Texts.
    differing = []
    seen = set()
    for book, chapter, numbers, text in ours:
        if STRONGS.search(text):
            problems.append(f"{book} {chapter}:{numbers}: a Strong's number is left: {text[:80]}")
        if not numbers or any((book, chapter, v) not in reference for v in numbers):
            differing.append((book, chapter, numbers, text, "(no such verse in diatheke)"))
            continue
        seen.update((book, chapter, v) for v in numbers)
        if normalize(text) != "".join(expected_text((book, chapter, v)) for v in numbers):
            differing.append((book, chapter, numbers, text,
                              " ".join(reference[(book, chapter, v)] for v in numbers)))
    missing = sorted(key for key in set(reference) - seen if normalize(reference[key]))
    for key in missing:
        differing.append((key[0], key[1], [key[2]], "(missing)", reference[key]))
    # Notes.
    our_text = {}
    for book, chapter, numbers, text in ours:
        for v in numbers:
            our_text[(book, chapter, v)] = normalize(text)
    left_notes = 0
    note_count = 0
    for key, (notes, _) in extras.items():
        for note in notes:
            note_count += 1
            if normalize(note) in our_text.get(key, "") and normalize(note) not in expected_text(key):
                left_notes += 1
                problems.append(f"{key}: note text left in the verse: {note[:60]}")

    total = len(reference)
    share = len(differing) / total if total else 1.0
    report.write(f"== {edition}: {len(ours)} verse lines, {total} verses in diatheke, "
                 f"{len(differing)} differ ({share:.2%}, tolerance {verse_tolerance:.2%}), "
                 f"{note_count} notes in the source, {left_notes} left in the module\n")
    for book, chapter, numbers, text, expected in differing:
        name = export_kjv.BOOKS[book - 1][0] if 1 <= book <= 66 else str(book)
        label = "-".join(str(v) for v in numbers[:1] + numbers[1:][-1:])
        report.write(f"  {name} {chapter}:{label}\n    ours:     {text}\n    diatheke: {expected}\n")
    for note in count_notes:
        report.write(f"  verse count within the tolerance: {note}\n")
    for problem in problems:
        report.write(f"  PROBLEM: {problem}\n")
    ok = not problems and share <= verse_tolerance
    report.write(f"   {'ok' if ok else 'FAILED'}\n")
    return ok


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("editions", nargs="+", choices=sorted(EDITIONS))
    parser.add_argument("--envoke", required=True, help="the envoke program to import with")
    parser.add_argument("--work", help="folder for the exports and installations (kept)")
    parser.add_argument("--report", help="file for the list of differences (default: stdout)")
    parser.add_argument("--diatheke", default="diatheke")
    parser.add_argument("--mod2osis", default="mod2osis")
    args = parser.parse_args(argv)

    diatheke = shutil.which(args.diatheke)
    if diatheke is None:
        print("compare_import: diatheke is not installed (Debian package diatheke)", file=sys.stderr)
        return 2
    work = args.work or tempfile.mkdtemp(prefix="compare_import_")
    os.makedirs(work, exist_ok=True)
    report = open(args.report, "w", encoding="utf-8") if args.report else sys.stdout
    all_ok = True
    references = {}  # diatheke's text of each SWORD module, read once
    try:
        for edition in args.editions:
            module, (kind, what), tolerance = EDITIONS[edition]
            if not export_kjv.module_installed(diatheke, module):
                print(f"compare_import: the SWORD module {module} is not installed", file=sys.stderr)
                return 2
            if kind == "mod2osis":
                if shutil.which(args.mod2osis) is None:
                    print("compare_import: mod2osis is not installed (Debian package libsword-utils)",
                          file=sys.stderr)
                    return 2
                source = os.path.join(work, edition + ".xml")
                with open(source, "wb") as out:
                    subprocess.run([args.mod2osis, what], stdout=out, stderr=subprocess.DEVNULL,
                                   check=True)
            else:
                if not os.path.isdir(what):
                    print(f"compare_import: {what} is missing (Debian package bibledit-data)",
                          file=sys.stderr)
                    return 2
                source = os.path.join(work, edition)
                shutil.rmtree(source, ignore_errors=True)
                shutil.copytree(what, source)
            config = os.path.join(work, edition + "-install", "cfg")
            shutil.rmtree(os.path.dirname(config), ignore_errors=True)
            os.makedirs(config)
            with open(os.path.join(config, "bible.ini"), "wb") as ini:
                ini.write(b"[bible]\r\nEQUATEFILE=\r\n")
            run = subprocess.run([args.envoke, "-import", source], cwd=config, capture_output=True,
                                 check=False)
            message = run.stdout.decode("utf-8", errors="replace")
            report.write(f"envoke -import {source}:\n{message}\n")
            module_path = os.path.join(config, "usr", edition + ".txt")
            if not os.path.exists(module_path):
                report.write(f"== {edition}: no module {module_path}\n   FAILED\n")
                all_ok = False
                continue
            if module not in references:
                references[module] = diatheke_verses(diatheke, module)
            reference = references[module]
            all_ok = compare(edition, module_path, reference, source, tolerance, report) and all_ok
    finally:
        if args.report:
            report.close()
    return 0 if all_ok else 1


if __name__ == "__main__":
    sys.exit(main())
