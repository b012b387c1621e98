"""Tests of make_sample.py: the committed files are current, and faulty masters are refused.

    python3 -m unittest discover -s tools/sample
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_sample as ms  # noqa: E402


def problems_for(master=None, rows=None, edit=None):
    """The problems reported for a master and vocabulary (the committed ones by default)."""
    master = ms.load_master() if master is None else master
    rows = ms.load_vocabulary() if rows is None else rows
    try:
        data = ms.render(master, rows)
    except ms.SampleError as error:
        return str(error)
    if edit:
        data = edit(data)
    return "\n".join(ms.check(data, rows))


def with_word(index, word):
    rows = ms.load_vocabulary()
    rows[index] = (index, word) + rows[index][2:]
    return rows


def replaced(old, new):
    master = ms.load_master()
    assert old in master, old
    return master.replace(old, new, 1)


def moved_line(prefix, before_prefix):
    """The master with the line starting with prefix moved in front of another line."""
    lines = ms.load_master().split("\n")
    line = next(l for l in lines if l.startswith(prefix))
    lines.remove(line)
    at = next(i for i, l in enumerate(lines) if l.startswith(before_prefix))
    lines.insert(at, line)
    return "\n".join(lines)


class CommittedFiles(unittest.TestCase):
    def test_bible_ini_and_readme_are_what_the_master_gives(self):
        rows = ms.load_vocabulary()
        data = ms.render(ms.load_master(), rows)
        self.assertEqual(ms.check(data, rows), [])
        with open(ms.TARGET, "rb") as f:
            self.assertEqual(f.read(), data, "run tools/sample/make_sample.py")
        with open(ms.README, encoding="utf-8") as f:
            readme = f.read()
        self.assertEqual(ms.readme_with_table(readme, rows), readme)
        table = readme[readme.index(ms.TABLE_BEGIN):readme.index(ms.TABLE_END)]
        indices = [line.split(" | ")[0][2:] for line in table.splitlines()[3:]]
        self.assertEqual(indices, [str(n) for n in range(80)])

    def test_file_reads_back_with_the_sizes_the_programs_need(self):
        with open(ms.TARGET, "rb") as f:
            text = ms.blank_rule(f.read())
        vocabulary = ms.read_value(text, b"CMPSTR=").split(b",")
        self.assertEqual(len(vocabulary), 80)
        self.assertEqual(vocabulary[73], b"<div class='pv' title=>")  # quote rule is the loader's
        self.assertEqual(len(ms.read_value(text, b"CNAME=")), 330)
        self.assertEqual(len(ms.read_value(text, b"CCNAME=").split(b",")), 66)
        self.assertEqual(ms.read_value(text, b"SEARCH="), "恩典".encode("gbk"))
        self.assertEqual(ms.read_value(text, b"TXTSYSPTH="), b"sys\\")


class ReaderModel(unittest.TestCase):
    """The checks stand on this model of the engine's reading rules."""

    def test_plain_quoted_and_first_occurrence(self):
        text = ms.blank_rule(b'MAXSEARCH = 5\r\nSEARCH=a b\r\nQ="x y\r\nz"\r\nE=\r\n')
        self.assertEqual(ms.read_value(text, b"MAXSEARCH="), b"5")
        self.assertEqual(ms.read_value(text, b"SEARCH="), b"5")  # found inside MAXSEARCH=
        self.assertEqual(ms.read_value(text, b"Q="), b"x yz")
        self.assertEqual(ms.read_value(text, b"E="), b"")
        self.assertIsNone(ms.read_value(text, b"NONE="))

    def test_one_character_search_steps_over_double_byte_characters(self):
        # "出" is B3 F6; "此" (B4 CB) followed by "霉" (C3 B9): no "出" straddles them.
        text = "此霉出".encode("gbk")
        self.assertEqual(ms.find_gbk(text, "出".encode("gbk")), 4)
        self.assertEqual(ms.find_gbk(b"\xb4\xcb\xb3\xf6", b"\xcb\xb3"), -1)


class FaultyMasters(unittest.TestCase):
    def assertRefused(self, expected, **kwargs):
        self.assertIn(expected, problems_for(**kwargs))

    def test_key_order_and_keys_inside_values(self):
        self.assertRefused("key SEARCH= is first found inside other text",
                           master=moved_line("MAXSEARCH=", "SEARCH="))
        self.assertRefused("key CNAME= is first found inside other text",
                           master=moved_line("CCNAME=", "CNAME="))
        self.assertRefused("key USEGBK= is first found inside other text",
                           master=replaced("<div class=linkctrl>", "<div class=USEGBK=1>"))
        self.assertRefused("key EXCLUSIVE= is missing",
                           master=replaced("EXCLUSIVE=\n", ""))

    def test_sections_as_the_updater_needs_them(self):
        lines = ms.load_master().split("\n")
        vocabulary_line = lines.pop(0)
        lines.insert(lines.index("[FIXGB2312TOGBK]"), vocabulary_line)
        self.assertRefused('"CMPSTR=" must come before "[config]"', master="\n".join(lines))
        self.assertRefused('"UPDATEURL" must stand once, in section "[config]"',
                           master=moved_line("UPDATEURL=", "WORD_GB2="))
        self.assertRefused("nothing but the vocabulary",
                           master=replaced('"\n[config]', '"\nLANGUAGE=x\n[config]'))

    def test_values_that_would_lose_blanks_or_bytes(self):
        self.assertRefused("SCROLLFUNC= must be written in double quotes",
                           master=replaced('SCROLLFUNC="function', 'SCROLLFUNC=function'))
        self.assertRefused("EQUATEFILE= is a plain value",
                           master=replaced("usr\\kjv,usr\\web", "usr\\kjv, usr\\web"))
        self.assertRefused("not a GBK character", master=replaced("SEARCH=恩典", "SEARCH=恩典😀"))
        self.assertRefused("every line must end with CR LF",
                           edit=lambda data: data.replace(b"\r\nLANGUAGE", b"\nLANGUAGE"))

    def test_book_abbreviations(self):
        self.assertRefused("CNAME entry 62 (约。): found first at another book",
                           master=replaced("约一,", "约。,"))
        self.assertRefused("CNAME must be 330 bytes",
                           master=replaced("启。,", "启,"))
        self.assertRefused("two GBK characters, or one and 。",
                           master=replaced("启。,", "启..,"))
        self.assertRefused("CCNAME must hold 66 book names",
                           master=replaced("启示录", "启示录,附录"))

    def test_vocabulary_items(self):
        self.assertRefused("CMPSTR holds 81 items", rows=with_word(12, "今,日"))
        self.assertRefused("CMPSTR holds 79 items", rows=ms.load_vocabulary()[:79])
        self.assertRefused("vocabulary item 1 must be 4 bytes", rows=with_word(1, "本章节"))
        self.assertRefused("vocabulary item 23 must be 6 bytes", rows=with_word(23, "休息"))
        self.assertRefused("double quote", rows=with_word(73, '<div class="pv" title=>'))
        self.assertRefused("vocabulary item 5 is empty", rows=with_word(5, ""))
        self.assertRefused("item 9 must end", rows=with_word(9, "　<a title=今日日程"))
        self.assertRefused("msec", rows=with_word(45, "节（用时毫秒）："))
        self.assertRefused("navigation words", rows=with_word(29, "上一章"))
        self.assertRefused("item 35", rows=with_word(35, "（）"))
        self.assertRefused("item 58", rows=with_word(58, "67001;" * 24))
        self.assertRefused("item 73", rows=with_word(73, "<div class=pv>"))
        self.assertRefused("item 79", rows=with_word(79, "tutor"))
        self.assertRefused("item 77 must link", rows=with_word(77, "　<a href=jf>简体</a>"))
        self.assertRefused("item 62 is compared with the lower-cased page",
                           rows=with_word(62, "<!--FIXED-->"))

    def test_settings(self):
        self.assertRefused("OPENDELAYTIME= must lie in 100..2000",
                           master=replaced("OPENDELAYTIME=400", "OPENDELAYTIME=50"))
        self.assertRefused("CSSBGCOLOR must hold items",
                           master=replaced("1#F1F6EA", "2#F1F6EA"))
        self.assertRefused("TU01= entries must read CODE=WWW,HHH;",
                           master=replaced("0111=400,300;", "0111=40,300;"))
        self.assertRefused("TU01= picture codes must be unique",
                           master=replaced("0112=300,300;", "0111=300,300;"))
        self.assertRefused("UPDATEURL must be a loopback",
                           master=replaced("http://127.0.0.1:8642", "http://example.org"))
        self.assertRefused("TABLETDWIDTH must hold five widths",
                           master=replaced("width=tdw", "width=88"))
        self.assertRefused("WORD_GB2 and WORD_GBK must be pairs",
                           master=replaced("WORD_GBK=頭髮,", "WORD_GBK="))


if __name__ == "__main__":
    unittest.main()
