#!/usr/bin/env python3
"""Builds the text modules of the sample installation (sample/cfg/sys, sample/cfg/usr) from
their readable UTF-8 sources and checks them.

    python3 tools/sample/make_modules.py                 write the modules of sys/ but corpa.txt
    python3 tools/sample/make_modules.py --check         change nothing; exit 1 when a module is
                                                         stale or breaks a rule below
    python3 tools/sample/make_modules.py --tools BIN     also derive sys/corpa.txt with the
                                                         set-up tool's derivation (BIN holds
                                                         quillax-cli) and, with --parallel,
                                                         import usr/kjv.txt and usr/web.txt
                                                         (BIN holds envoke; needs diatheke with
                                                         sword-text-kjv and sword-text-web)

Sources, tools/sample/modules/ (UTF-8, LF):
    chapters.txt    the chapters and book introductions of sys/tessaly.txt in a line format
                    (described at its top) that this script turns into the module's markup
    emendo.txt, tidoran.txt, oblix.txt, amberly.txt, rovask.txt, zendri.txt
                    the other modules as they stand, only converted to GBK with CR LF

The main text sys/corpa.txt is never written by hand: it is what the set-up tool derives from
tessaly.txt (tests/tools checks that byte for byte). The parallel versions usr/kjv.txt and
usr/web.txt are the import (envoke -import) of the public-domain KJV and WEB texts that
tools/kjv/export_kjv.py exports from Debian's SWORD modules, for the same chapters.

Rules checked on every run: every text round-trips through GBK; the chapters hold every verse
of their chapter; footnote marks and notes pair up; each text-fix mark closes within 30 bytes
and has its note in emendo.txt (and every note its mark); every reference of every module
names a kept chapter and an existing verse; every link into the dictionary names an entry;
each module's index keys are found at their own entries (no key ends another); the plan-day
modules hold the same days; corpa.txt and the parallel versions hold exactly the kept
chapters, the parallel versions with the verses of each chapter.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SOURCES = os.path.join(HERE, "modules")
CONFIG = os.path.join(HERE, "bible.ini.in")
TARGET = os.path.join(ROOT, "sample", "cfg")
EXPORTER = os.path.join(ROOT, "tools", "kjv", "export_kjv.py")

# Verses of the kept chapters (chapter key -> verse count).
VERSES = {"01001": 31, "01002": 25, "01003": 24, "19001": 6, "19023": 6, "40001": 25,
          "40002": 23, "40003": 17, "43001": 51, "43003": 36, "66022": 21}
# diatheke keys of the kept chapters, for the parallel versions.
PARALLEL_RANGE = "Gen 1-3;Ps 1;Ps 23;Matt 1-3;John 1;John 3;Rev 22"
PARALLEL = [("kjv", "engKJV2006eb", []), ("web", "engWEB2015eb", ["--osis"])]
PLAN_DAYS = 6

INDENT = "\u3000\u3000"
COLUMN_WIDTH = 28
TEXT_MODULES = ["emendo", "tidoran", "oblix", "amberly", "rovask", "zendri"]
# Index marker and line flag of each module, as the set-up tool indexes it.
INDEX_RULES = {"tessaly": (":=", False), "corpa": ("=", True), "emendo": ("=", True),
               "tidoran": ("", True), "oblix": ("", True), "amberly": ("<h1>", True),
               "rovask": ("<h1>", True), "zendri": (":=", False), "kjv": (":=", False),
               "web": (":=", False)}


class ModuleError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Book tables (from the configuration master)

def book_tables():
    with open(CONFIG, encoding="utf-8") as f:
        text = f.read()
    slots = re.search(r"^CNAME=(.*)$", text, re.MULTILINE).group(1).split(",")[:66]
    names = re.search(r"^CCNAME=(.*)$", text, re.MULTILINE).group(1).split(",")
    abbreviations = {slot.replace("。", ""): number for number, slot in enumerate(slots, 1)}
    return abbreviations, names


# ---------------------------------------------------------------------------------------------
# The chapters

def honorific(text):
    """Puts the ideographic blank before every 神 that names God (not in 神迹)."""
    return re.sub(r"(?<!\u3000)神(?!迹)", "\u3000神", text)


def parse_chapters(source):
    """Records of the text of chapters.txt: [(key, [item])], an item being ("verse", n, text,
    column), ("paragraph", text, column), ("heading", title, rule) or ("psalm", number, title)."""
    records = []
    for number, line in enumerate(source.split("\n"), 1):
        if not line.strip() or (line.startswith("#") and not line.startswith("## ")):
            continue
        where = "chapters.txt:%d" % number
        if line.startswith("## "):
            records.append((line[3:].strip(), []))
            continue
        if not records:
            raise ModuleError("%s: text before the first record" % where)
        items = records[-1][1]
        if line.startswith("=- ") or line.startswith("= "):
            items.append(("heading", honorific(line.split(" ", 1)[1]), line.startswith("=-")))
        elif line.startswith("* "):
            parts = line[2:].split(" ", 1)
            items.append(("psalm", parts[0], parts[1] if len(parts) > 1 else ""))
        else:
            head, _, column = line.partition(" || ")
            kind, _, text = head.partition(" ")
            if kind == "P":
                items.append(("paragraph", honorific(text), column))
            elif kind.isdigit():
                items.append(("verse", int(kind), honorific(text), column))
            else:
                raise ModuleError("%s: not a verse, paragraph or heading" % where)
    return records


def render_tessaly(records, names):
    out = []
    for key, items in records:
        out.append(key + ":=\r\n")
        if len(key) == 7:
            out.append("'d'2'e" + names[int(key[:2]) - 1] + "'f_\r\n")
            for i, item in enumerate(i for i in items if i[0] == "paragraph"):
                out.append(("'2" if i > 0 else "") + INDENT + item[1])
                if item[2]:
                    out.append("'0" + item[2] + "'1")
                out.append("\r\n")
        else:
            pending = ""
            first = True
            for item in items:
                if item[0] == "psalm":
                    small = "'8" + item[2] + "'9" if item[2] else ""
                    pending += "'5" + item[1] + "'6" + small + "_\r\n"
                elif item[0] == "heading":
                    pending += ("<hr>" if item[2] else "") + "'e" + item[1] + "'f_\r\n"
                elif item[0] == "verse":
                    _, verse, text, column = item
                    out.append(("'3" if first else "'2") + pending + INDENT + "$%d" % verse)
                    out.append(text.replace(" / ", "_" + INDENT))
                    if first:
                        out.append("'a%d'7%s'1" % (COLUMN_WIDTH, column))
                    elif column:
                        out.append("'0" + column + "'1")
                    out.append("\r\n")
                    pending = ""
                    first = False
        out.append("'4\r\n")
    return "".join(out)


# ---------------------------------------------------------------------------------------------
# References

def reference_patterns(abbreviations):
    """A verse reference ("创1:2-5", "3:4" continuing the book before) and a whole chapter
    ("创1章", "诗23篇"), the book being one of the abbreviations (two-character ones first)."""
    books = "|".join(sorted(abbreviations, key=len, reverse=True))
    verse = re.compile(r"(?P<book>%s)?(?P<chapter>\d{1,3})[:：](?P<verses>[\d,\-]+)" % books)
    chapter = re.compile(r"(?P<book>%s)(?P<chapter>\d{1,3})(?P<unit>[章篇])" % books)
    return verse, chapter


def check_verses(where, key, verses, problems):
    if key not in VERSES:
        problems.append("%s: %s names a chapter that the sample does not keep" % (where, key))
        return
    for number in re.findall(r"\d+", verses):
        if not 1 <= int(number) <= VERSES[key]:
            problems.append("%s: verse %s of %s does not exist" % (where, number, key))


def check_group(where, group, abbreviations, own_key, problems, book=None):
    """The references of one bracket or parenthesis group ("创1:2;3:4", "本章7,31"); a
    reference without a book continues the book of the one before (book). Returns the book of
    the last reference."""
    verse_reference, chapter_reference = reference_patterns(abbreviations)
    for part in re.split(r"[;；]", group):
        part = part.strip()
        if part.startswith("本章") or part.startswith("本篇"):
            if own_key is None:
                problems.append("%s: %s outside a chapter" % (where, part))
            else:
                check_verses(where, own_key, part[2:], problems)
            continue
        match = chapter_reference.fullmatch(part)
        if match and match.group("book") in abbreviations:
            key = "%02d%03d" % (abbreviations[match.group("book")], int(match.group("chapter")))
            check_verses(where, key, "", problems)
            book = abbreviations[match.group("book")]
            continue
        match = verse_reference.search(part)
        if not match:
            continue
        if match.group("book"):
            book = abbreviations[match.group("book")]
        if book is None:
            problems.append("%s: %s continues no reference" % (where, part))
            continue
        key = "%02d%03d" % (book, int(match.group("chapter")))
        check_verses(where, key, match.group("verses"), problems)
    return book


def check_references(where, text, abbreviations, problems, own_key=None):
    book = None
    for group in re.findall(r"\[([^\[\]]*)\]", text) + re.findall(r"\(([^()]*)\)", text):
        book = check_group(where, group, abbreviations, own_key, problems, book)
    for match in re.finditer(r"<a href=(\d{5})>", text):
        check_verses(where, match.group(1), "", problems)


# ---------------------------------------------------------------------------------------------
# Checks of the modules

def check_chapters(records, abbreviations, problems):
    keys = [key for key, _ in records if len(key) == 5]
    if sorted(keys) != sorted(VERSES):
        problems.append("chapters.txt: the chapters are %s, not %s" % (keys, sorted(VERSES)))
    marks = set()
    for key, items in records:
        where = "chapters.txt %s" % key
        if len(key) == 7 and (key[2:] != "00000" or key[:2] not in {k[:2] for k in keys}):
            problems.append("%s: a book introduction needs a kept chapter of its book" % where)
        verses = [item for item in items if item[0] == "verse"]
        if len(key) == 5 and [v[1] for v in verses] != list(range(1, VERSES.get(key, 0) + 1)):
            problems.append("%s: the verses must run from 1 to %d" % (where, VERSES.get(key, 0)))
        note = 0
        for item in items:
            if item[0] not in ("verse", "paragraph"):
                continue
            text, column = item[-2], item[-1]
            check_references(where, column, abbreviations, problems, key if len(key) == 5 else None)
            # The engine pairs a mark with its closing mark less than 30 bytes after it.
            for mark in re.findall(r"@[^#]*#|%[^^]*\^", text):
                if len(mark.encode("gbk", "replace")) > 30:
                    problems.append("%s: the mark %s is longer than 30 bytes" % (where, mark))
                marks.add(mark)
            for number in re.findall(r"`(\d+)", text):
                note += 1
                if int(number) != note or "_~%s" % number not in column:
                    problems.append("%s: footnote %s has no note of that number" % (where, number))
            if len(re.findall(r"_~\d+", column)) != len(re.findall(r"`\d+", text)):
                problems.append("%s: a note without its footnote mark" % where)
    return marks


def check_text_modules(texts, abbreviations, marks, problems):
    notes = set()
    for line in texts["emendo"].split("\n"):
        if line:
            key, _, note = line.partition("=")
            notes.add(key)
            check_references("emendo.txt", note, abbreviations, problems)
    for mark in sorted(marks - notes):
        problems.append("emendo.txt: no note for the marked phrase %s" % mark)
    for key in sorted(notes - marks):
        problems.append("emendo.txt: %s is marked in no chapter" % key)

    dictionary = set(re.findall(r"<h1><key:([^>]*)>", texts["rovask"]))
    for name in TEXT_MODULES:
        text = texts[name]
        check_references(name + ".txt", text, abbreviations, problems)
        for key in re.findall(r"<a href=rovask#([^>]*)>", text):
            if key not in dictionary:
                problems.append("%s.txt: the dictionary has no entry %s" % (name, key))

    for number, line in enumerate(texts["tidoran"].rstrip("\n").split("\n"), 1):
        fields = line.split(",")
        if len(fields) != 15 or fields[0] != "第%d日" % number or not fields[5].endswith("日)"):
            problems.append("tidoran.txt line %d: 15 fields, day %d first, days left in field 5"
                            % (number, number))
    days = {
        "tidoran": len(texts["tidoran"].rstrip("\n").split("\n")),
        "oblix": len(texts["oblix"].rstrip("\n").split("\n")),
        "amberly": texts["amberly"].count("<h1>"),
        "zendri": len(re.findall(r"^\d{3}:=$", texts["zendri"], re.MULTILINE)),
    }
    for name, count in days.items():
        if count != PLAN_DAYS:
            problems.append("%s.txt holds %d plan days, not %d" % (name, count, PLAN_DAYS))


def index_keys(data, marker, line_flag):
    """The keys of a module as the set-up tool indexes it (record order)."""
    keys = []
    sequence = 1
    chapter_form = re.compile(rb"(\d\d)(\d\d\d)")
    for line in data.split(b"\n"):
        line = line.rstrip(b"\r")
        at = line.find(marker.encode()) if marker else -1
        if marker == "<h1>":
            if at >= 0:
                found = re.search(rb"<key:([^>]*)>", line)
                named = found.group(1) if found else b""
                keys.append(named or b"%03d" % (sequence % 1000))
                sequence += 1
        elif marker:
            if at > 0:
                keys.append(line[:at])
        elif line_flag and line:
            keys.append(b"%03d" % (sequence % 1000))
            sequence += 1
    stored = []
    for key in keys:
        match = chapter_form.match(key)
        book = int(match.group(1)) if match else 0
        if match and 1 <= book <= 66 and 1 <= int(match.group(2)):
            number = book * 1000 + int(match.group(2)) - 1000
            stored.append(bytes([number & 0xFF, number >> 8]) + b":")
        else:
            stored.append(key)
    return keys, stored


def check_index(name, data, problems):
    """Every key must be found first at its own entry by the engine's byte search of key + "="
    (4 offset bytes stand in for each entry's offset)."""
    marker, line_flag = INDEX_RULES[name]
    keys, stored = index_keys(data, marker, line_flag)
    index = b"".join(key + b"=\x00\x00\x00\x00" for key in stored)
    at = 0
    for key, entry in zip(keys, stored):
        if index.find(entry + b"=") != at:
            problems.append("%s: the index key %s is found at another entry"
                            % (name, key.decode("gbk", "replace")))
        at += len(entry) + 5
    return keys


# ---------------------------------------------------------------------------------------------
# Building

def gbk(text, where):
    """The text in GBK with CR LF line ends; it must read back as the same text."""
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    try:
        data = text.encode("gbk")
    except UnicodeEncodeError as error:
        raise ModuleError("%s: %r has no GBK form" % (where, error.object[error.start:error.end]))
    if data.decode("gbk") != text:
        raise ModuleError("%s does not round-trip through GBK" % where)
    return data


def load_sources():
    """The texts of the sources: "chapters" and the names of TEXT_MODULES."""
    texts = {}
    try:
        for name in ["chapters"] + TEXT_MODULES:
            with open(os.path.join(SOURCES, name + ".txt"), encoding="utf-8") as f:
                texts[name] = f.read()
    except (OSError, UnicodeDecodeError) as error:
        raise ModuleError(str(error))
    return texts


def build(texts=None):
    """The bytes of every module this script writes (from the given source texts, by default
    the committed ones), and the problems found."""
    abbreviations, names = book_tables()
    problems = []
    texts = load_sources() if texts is None else texts
    records = parse_chapters(texts["chapters"])
    marks = check_chapters(records, abbreviations, problems)
    check_text_modules(texts, abbreviations, marks, problems)
    modules = {"sys/tessaly.txt": gbk(render_tessaly(records, names), "chapters.txt")}
    for name in TEXT_MODULES:
        modules["sys/%s.txt" % name] = gbk(texts[name], name + ".txt")
    for path, data in modules.items():
        check_index(os.path.basename(path)[:-4], data, problems)
    return modules, problems


def check_derived(problems):
    """corpa.txt and the parallel versions: the kept chapters, each verse of them."""
    for name in ["corpa", "kjv", "web"]:
        path = os.path.join(TARGET, "sys" if name == "corpa" else "usr", name + ".txt")
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            problems.append("%s is missing" % os.path.relpath(path, ROOT))
            continue
        keys = [k.decode() for k in check_index(name, data, problems)]
        if sorted(keys) != sorted(VERSES):
            problems.append("%s holds the chapters %s" % (name, keys))
        if name == "corpa":
            continue
        for key, body in re.findall(rb"(\d{5}):=\n(.*?)(?=\d{5}:=\n|\Z)", data, re.DOTALL):
            verses = re.findall(rb"^\$(\d+)", body, re.MULTILINE)
            if [int(v) for v in verses] != list(range(1, VERSES.get(key.decode(), 0) + 1)):
                problems.append("%s.txt %s: verses %s" % (name, key.decode(), len(verses)))


def run(command, **options):
    result = subprocess.run(command, capture_output=True, **options)
    if result.returncode != 0:
        raise ModuleError("%s failed: %s"
                          % (" ".join(command), result.stderr.decode("utf-8", "replace")))
    return result


def derive(tools, parallel):
    """Derives corpa.txt with the set-up tool's derivation (quillax-cli builds a missing main
    text and the indexes as the set-up tool does) and imports the parallel versions."""
    work = tempfile.mkdtemp(prefix="make_modules.")
    try:
        cfg = os.path.join(work, "cfg")
        shutil.copytree(TARGET, cfg, ignore=shutil.ignore_patterns("*.inx", "corpa.txt"))
        environment = dict(os.environ, QUILLAX_REGISTRY=os.path.join(work, "registry"))
        if parallel:
            for name, module, options in PARALLEL:
                export = os.path.join(cfg, name + ".txt")
                run([sys.executable, EXPORTER, "--module", module, "--range", PARALLEL_RANGE]
                    + options + [export])
                # The import takes a file name relative to the configuration directory.
                run([os.path.join(tools, "envoke"), "-q", "-import", name + ".txt"], cwd=cfg,
                    env=environment)
                os.unlink(export)
                shutil.copyfile(os.path.join(cfg, "usr", name + ".txt"),
                                os.path.join(TARGET, "usr", name + ".txt"))
        run([os.path.join(tools, "quillax-cli"), "page", work, "01001"], env=environment)
        shutil.copyfile(os.path.join(cfg, "sys", "corpa.txt"),
                        os.path.join(TARGET, "sys", "corpa.txt"))
    finally:
        shutil.rmtree(work)


def main(argv):
    check_only = "--check" in argv[1:]
    tools = os.path.abspath(argv[argv.index("--tools") + 1]) if "--tools" in argv[1:-1] else None
    try:
        modules, problems = build()
    except ModuleError as error:
        print("make_modules: %s" % error, file=sys.stderr)
        return 1
    for problem in problems:
        print("make_modules: %s" % problem, file=sys.stderr)
    if problems:
        return 1
    stale = []
    for path, data in modules.items():
        target = os.path.join(TARGET, path)
        try:
            with open(target, "rb") as f:
                current = f.read()
        except OSError:
            current = None
        if current != data:
            if check_only:
                stale.append(path)
            else:
                with open(target, "wb") as f:
                    f.write(data)
    for path in stale:
        print("make_modules: sample/cfg/%s is not what the sources give; run "
              "tools/sample/make_modules.py" % path, file=sys.stderr)
    if tools and not check_only:
        try:
            derive(tools, "--parallel" in argv[1:])
        except (ModuleError, OSError) as error:
            print("make_modules: %s" % error, file=sys.stderr)
            return 1
    derived = []
    check_derived(derived)
    for problem in derived:
        print("make_modules: %s" % problem, file=sys.stderr)
    return 1 if stale or derived else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
