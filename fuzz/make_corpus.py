#!/usr/bin/env python3
"""Writes the seed files of the text, engine, updater and set-up fuzz targets into
fuzz/corpus/<target>/: a few inputs each, laid out the way the target splits its input
(FuzzedDataProvider: strings from the front, each ended by a backslash and one more byte;
integers and flags from the back), with text taken from the sample installation.

    python3 fuzz/make_corpus.py        (rewrites these seeds; the fuzzer keeps its own files)
"""
import os
import shutil
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "sample", "cfg")


def sample(name, size):
    with open(os.path.join(SAMPLE, name), "rb") as f:
        return f.read(size)


def s(text):
    """A string of ConsumeRandomLengthString: backslashes doubled, then the terminator."""
    if isinstance(text, str):
        text = text.encode("ascii")
    return text.replace(b"\\", b"\\\\") + b"\\;"


def gbk(text):
    return text.encode("gbk")


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def index_entry(key, offset):
    return key + b"=" + struct.pack("<I", offset)


def chapter_entry(number, offset):
    return struct.pack("<H", number - 1000) + b":=" + struct.pack("<I", offset)


def main():
    ini = sample("bible.ini", 1 << 20)
    write("config_fuzz", {
        # key, value, file, then the flag "append the sample file" (a byte from the back)
        "plain": s("READMODEL=") + s("2") + b"[bible]\r\nREADMODEL=1\r\nSEARCH = a b\r\n" + b"\x00",
        "quoted": s("scrollfunc=") + s("a b") + b'SCROLLFUNC="x\r\ny"\r\nLANGUAGE=gb2312\r\n' + b"\x00",
        "colour": s("CSSBGCOLOR=") + s("2#00FF00") + b"\x01",
        "sample": s("TABLETDWIDTH=") + s('"1,2,3,4,5,6"') + ini + b"\x00",
    })

    record = sample("sys/tessaly.txt", 400)
    text = b"0100000:=\r\n" + record + b"\r\n01002:=\r\nsecond_\r\n"
    index = chapter_entry(1000, 11) + chapter_entry(1002, len(text) - 18) + b"=" + struct.pack("<I", len(text))
    named = b"abc:=\r\n%under^ @bold# {em}_\r\nxyz:=\r\n"
    named_index = index_entry(b"abc", 7) + index_entry(b"xyz", 33) + b"=" + struct.pack("<I", len(named))
    write("module_fuzz", {
        # key, [module], index, text, then the flags byte (1 substitute, 2 links, 4 module name,
        # 8 through the engine)
        "chapter": s("01001") + s(index) + text + b"\x02",
        "named": s("abc") + s(named_index) + named + b"\x00",
        "engine": s("xyz") + s(named_index) + named + b"\x0b",
        "module": s("abc") + s("sys/m") + s(named_index) + named + b"\x04",
    })

    write("markup_fuzz", {
        "marks": b"%under^ @bold# \\italic| {emph}_<A HREF=x#y>a</a>% %>",
        "mailto": b'<a href="mailto:a@b.c">a@b.c</a> @x#',
        "record": sample("sys/tessaly.txt", 600),
    })

    write("references_fuzz", {
        # mode (from the back), key, text
        "parens": s("01001") + gbk("见(创3:16;4:5)和(诗23篇)(创1章)") + b"\x00",
        "expand": s("01001") + gbk("(创1:1-3,5)") + b"\x01",
        "brackets": s("01001") + gbk("[创3:16] [1:2] [本章] [诗23篇]") + b"\x02",
        "passage": s("01001") + gbk("创1:1-2:3,*") + b"\x03",
    })

    write("page_text_fuzz", {
        "outline": b"\x00" + sample("sys/oblix.txt", 700),
        "copied": b"\x01" + b'<A href="file:///C:/x/01001" TagName="A">Gen 1</A> <B><B>x</B></B><I><B>y</B></I>',
        "compact": b"\x02" + gbk('<a name=1>　　<br><td class=td1 valign=top>　<br>　x<hr>\r\n　　<br>　'),
    })

    write("event_capture_fuzz", {
        # strings: tag (flag 0x10 only), id, title, inner text, inner HTML, outer HTML; then
        # the button and key code (ints) and the flags byte from the back
        "link": s("007") + s(gbk("标题")) + s("x") + s("<b>x</b>") + s('<A href="about:blank01001" id=007>x</A>')
        + b"\x00" * 8 + b"\x00",
        "mailto": s("") + s("") + s("m") + s("m") + s('<A href="about:mailto:a@b">m</A>') + b"\x00" * 8 + b"\x02",
        "gbk": s("1") + s("") + s(gbk("注")) + s(gbk("<u>注</u>")) + s("") + b"\x00" * 8 + b"\x21",
    })

    manifest = (b"[quillax.dll]\r\nUpdateFile=/u/quillax.zip\r\nVersion=2026.12.07\r\nTargetPath=..\\..\\x\r\n"
                b"[bible.ini]\r\nUpdateFile=/u/bible.ini\r\nFileDateTime=2026-12-07 10:00\r\n"
                b"[Envoke.exe]\r\nUpdateFile=u/envoke.zip\r\nTargetPath=cfg\r\nSha256=00\r\n")
    write("manifest_fuzz", {
        # section, key, value, then the text; the buffer size and flags come from the back
        "check": s("quillax.dll") + s("Version") + s("2027") + manifest + struct.pack("<H", 2048) + b"\x01",
        "apply": s("Envoke.exe") + s("TargetPath") + s("cfg") + manifest + struct.pack("<H", 512) + b"\x05",
        "all": s("bible.ini") + s("k") + s("v") + manifest + struct.pack("<H", 16) + b"\x03",
    })

    def entry(name, data, deflated=False, made_by=0x0314, external=0x81A40000, extra=b""):
        # name, extra, data (strings), then from the back: flag, madeBy, external, time, date
        return (s(name) + s(extra) + s(data),
                struct.pack("<HHIH", 0x5A21, 0x4CA1, external, made_by) + (b"\x01" if deflated else b"\x00"))

    def described(*entries):
        front = b"".join(e[0] for e in entries)
        back = b"".join(reversed([e[1] for e in entries]))
        return front + back + bytes([len(entries) - 1]) + b"\x00"

    def real_zip(names):
        import io
        import zipfile
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
            for name, data in names:
                z.writestr(name, data)
        return buffer.getvalue()

    write("archive_fuzz", {
        "flat": described(entry("cfg/bible.ini", b"[bible]\r\nX=1\r\n"), entry("sys/", b"", external=0x41ED0010)),
        "escape": described(entry("..\\..\\evil.txt", b"x"), entry("c:/a/../../b", b"y", True),
                            entry("/abs/\\..\\.\\x", b"z")),
        "raw": b"\x01" + real_zip([("a/b.txt", b"hello"), ("../c.txt", b"x"), ("d/", b"")]),
    })

    write("errata_fuzz", {
        # the module text, then the correction list
        "corrections": s(b"first\r\nsecond\r\nthe beginnning\r\n\r\nfourth a\nlast line")
        + b"[corpa]\r\n3,beginnning,beginning\r\n3,the,The\r\n5,a,b,c\r\n[zendri]\r\n1,a,A\r\n",
        "escape": s(b"x\r\n") + b"[..\\..\\..\\decoy]\r\n1,decoy,moved\r\n[corpa]\r\n1,x,y\r\n",
        "order": s(b"a\r\nb\r\nc\r\n") + b"[corpa]\r\n3,c,C\r\n1,a,A\r\n[zendri]\r\n1,a,b\r\n",
    })

    verses = "\n".join("x\t%d\t%d\t%d\tIn the beginning %d" % (1, 1 + v // 3, 1 + v % 3, v) for v in range(8))
    write("import_fuzz", {
        "plain": s("d:\\bibles\\cuv.big5.txt") + s(b"[bible]\r\nEQUATEFILE=usr\\kjv\r\n") + verses.encode(),
        "references": s("kjv.txt") + s(b"EQUATEFILE = \r\n")
        + b'x\t1\t1\t1\tGen 1:1 In the beginning\r\nx\t1\t1\t2\t"Gen 1:2 And the earth"\r\n',
        "empty": s(".hidden") + s(b"") + b"no data lines\n",
    })

    write("system_tables_fuzz", {
        # the mount table, then user-dirs.dirs
        "plain": s(b"22 1 8:1 / / rw - ext4 /dev/sda1 rw\n23 22 0:5 / /proc rw - proc proc rw\n")
        + b'XDG_DOCUMENTS_DIR="$HOME/Documents"\nXDG_MUSIC_DIR="/data/music"\n',
        "escapes": s(b"24 22 8:2 / /media/my\\040disk\\134x rw\nshort\n")
        + b'# XDG_DOCUMENTS_DIR="$HOME/comment"\nXDG_VIDEOS_DIR="$HOME/unclosed\n'
        + 'XDG_PICTURES_DIR="$HOME/图片"\n'.encode("utf-8"),
    })

    # One USFM file each (the whole input).
    write("usfm_fuzz", {
        "book": (
            "\ufeffLicence text before the book.\n"
            "\\id GEN World English Bible\n\\h Genesis\n\\toc1 Genesis\n\\mt1 Genesis\n\\ip Intro.\n"
            "\\c 1\n\\s1 The Creation\n\\p\n"
            "\\v 1 In the beginning, God\\f + \\fr 1:1 \\ft The word \\fq God\\f* created\\x - \\xt John 1:1\\x*.\n"
            "\\v 2 The \\w earth|strong=\"H0776\"\\w* was \\add formless\\add* and \\+w empty|H8414\\+w*.\n"
            "\\q1\n\\v 3-4 God said, \\wj \u201cLet there be\\wj*\n"
            "\\q2 light,\u201d and \\nd Yahweh\\nd* saw it. \\qs Selah.\\qs*\n"
            "\\c 2\n\\cl Chapter Two\n\\d A Psalm.\n"
            "\\v 1 \\va 2\\va*\\vp 1a\\vp*Thus\\fig A picture|src=\"a.jpg\"\\fig* the heavens.\n"
            "\\esb\n\\p Study.\n\\esbe\n\\v 2 \u8d77\u521d\u795e\u521b\u9020\u5929\u5730\u3002\U0001F600\n"
        ).encode("utf-8"),
        "books": (
            "\\id FRT\r\n\\mt1 Preface\r\n\\id TOB\r\n\\c 1\r\n\\v 1 Tobit.\r\n"
            "\\id REV\r\n\\c 22\r\n\\p\r\n\\v 21 The grace\\f + \\ft open note\r\n"
            "\\id MAT\r\n\\c 1\r\n\\v 1 The book.\r\n"
        ).encode("utf-8"),
        "cut": b"\\id GEN\n\\h Genesis\n",
        "faults": b"\\id EXO\n\\c 1\n\\v 1 x\n\\c 1000\n\\v\n",
    })

    # One OSIS document each (the whole input).
    head = ('<?xml version="1.0" encoding="UTF-8"?>\n<osis xmlns="http://www.bibletechnologies.net/2003/OSIS/namespace">\n'
            '<osisText osisIDWork="t"><header><work osisWork="t"><title>A Bible</title></work></header>\n')
    tail = "\n</osisText>\n</osis>\n"
    write("osis_fuzz", {
        "container": (head
            + '<div type="book" osisID="Gen"><chapter osisID="Gen.1">\n'
            '<verse osisID="Gen.1.1">In the <w lemma="strong:H7225">beginning</w> <w>God</w><note placement="foot">'
            '<reference>1:1</reference>A note</note><w>created</w> <transChange type="added">the</transChange> heaven.</verse>\n'
            '<verse osisID="Gen.1.2 Gen.1.3"><title type="psalm">Title</title><lg><l level="1"><divineName>Lord</divineName>'
            ', how</l><l level="2"><q who="x">\u201ctrouble\u201d</q></l></lg><lb/>Selah.</verse>\n'
            '</chapter></div><div type="book" osisID="Tob"><chapter osisID="Tob.1"><verse osisID="Tob.1.1">T</verse>'
            '</chapter></div>' + tail).encode("utf-8"),
        "milestones": (head
            + '<div type="book" osisID="Matt"><chapter sID="Matt.1" osisID="Matt.1"/>\n'
            '<p><verse sID="Matt.1.1" osisID="Matt.1.1"/>The book</p><title>Heading</title><p>of Jesus.<verse eID="Matt.1.1"/>\n'
            '<verse sID="Matt.1.2" osisID="KJV:Matt.1.2!a"/>Abraham</p><chapter eID="Matt.1"/></div>\n'
            '<div type="book" osisID="Mark"><chapter osisID="Mark.1"><verse osisID="Mark.1.1"/>The beginning.</chapter></div>'
            + tail).encode("utf-8"),
        "damaged": (head
            + '<div type="book" osisID="Exod"><chapter osisID="Exod.6">\n'
            '<verse osisID="Exod.6.2">I am the <divineName>LORD</divineName>:<note>the <divineName>LORD\\+nd*: or, '
            '<seg><divineName>JEHOVAH</divineName></seg></note></verse>\n'
            '<verse osisID="Exod.6.3">by my name \\nd <w>JEHOVAH</w></divineName> was I not known.</verse>\n'
            '<verse osisID="Exod.6.4"><list><item>One.</item></verse><verse osisID="Exod.6.5"><item>Two.</item> </list></verse>\n'
            '<verse osisID="Exod.6.6">Open<note>never closed</verse><verse osisID="Exod.6.7">Next.</verse>\n'
            '</chapter></div>' + tail).encode("utf-8"),
        "cut": (head + '<verse osisID="Gen.1.1">In the beg').encode("utf-8"),
        "latin": b'<?xml version="1.0" encoding="ISO-8859-1"?>\n<osis><verse osisID="Gen.1.1">caf\xe9</verse></osis>\n',
    })


if __name__ == "__main__":
    main()
