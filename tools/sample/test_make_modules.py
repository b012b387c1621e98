"""Tests of make_modules.py and make_pictures.py: the committed modules and pictures are
current, and faulty sources are refused.

    python3 -m unittest discover -s tools/sample
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_modules as mm  # noqa: E402
import make_pictures as mp  # noqa: E402


def problems_with(name, old, new):
    """The problems of the committed sources with one edit in source name."""
    texts = mm.load_sources()
    assert old in texts[name], old
    texts[name] = texts[name].replace(old, new, 1)
    try:
        return "\n".join(mm.build(texts)[1])
    except mm.ModuleError as error:
        return str(error)


class CommittedFiles(unittest.TestCase):
    def test_modules_are_what_the_sources_give(self):
        modules, problems = mm.build()
        self.assertEqual(problems, [])
        for path, data in modules.items():
            with open(os.path.join(mm.TARGET, path), "rb") as f:
                self.assertEqual(f.read(), data, "run tools/sample/make_modules.py (%s)" % path)
        derived = []
        mm.check_derived(derived)
        self.assertEqual(derived, [])

    def test_pictures_are_current_and_sized_as_their_tables_say(self):
        self.assertEqual(mp.main(["make_pictures.py", "--check"]), 0)
        with open(os.path.join(mp.TARGET, "tu0111.jpg"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(data[16:24], b"\x00\x00\x01\x90\x00\x00\x01\x2c")  # 400 x 300


class ChapterLayout(unittest.TestCase):
    def test_psalm_with_superscription_poetry_footnote_and_reference_column(self):
        records = mm.parse_chapters("## 19023\n* 第23篇 （大卫的诗）\n= 牧者\n"
                                    "1 甲，神迹 / 乙`1。 || [诗1:1]_~1注\n=- 二\n2 丙神。\n3 丁。 || [太1:1]\n")
        text = mm.render_tessaly(records, ["创世记"] * 66)
        self.assertEqual(text, "19023:=\r\n"
                               "'3'5第23篇'6'8（大卫的诗）'9_\r\n'e牧者'f_\r\n"
                               "　　$1甲，神迹_　　乙`1。'a28'7[诗1:1]_~1注'1\r\n"
                               "'2<hr>'e二'f_\r\n　　$2丙　神。\r\n"
                               "'2　　$3丁。'0[太1:1]'1\r\n'4\r\n")

    def test_book_introduction(self):
        records = mm.parse_chapters("## 4000000\nP 一。 || [太1:1]\nP 二。\n")
        names = ["名%d" % i for i in range(1, 67)]
        self.assertEqual(mm.render_tessaly(records, names),
                         "4000000:=\r\n'd'2'e名40'f_\r\n　　一。'0[太1:1]'1\r\n'2　　二。\r\n'4\r\n")


class RefusedSources(unittest.TestCase):
    def test_references_must_name_kept_chapters_and_existing_verses(self):
        self.assertIn("does not keep", problems_with("chapters", "[启22:13]", "[启21:1]"))
        self.assertIn("verse 7 of 19023", problems_with("chapters", "[诗23:1]", "[诗23:7]"))
        # "[3:22]" continues the book of the reference before it.
        self.assertIn("verse 40 of 01003", problems_with("chapters", "[3:22]", "[3:40]"))
        self.assertIn("does not keep", problems_with("zendri", "(创3:9)", "(创4:9)"))
        self.assertIn("does not keep", problems_with("amberly", "(诗1:6)", "(诗2:6)"))

    def test_chapters_hold_every_verse(self):
        self.assertIn("must run from 1 to 6", problems_with("chapters", "2 他使我躺卧", "7 他使我躺卧"))

    def test_footnotes_and_text_fix_marks_pair_up(self):
        self.assertIn("footnote 3 has no note", problems_with("chapters", "名叫亚当`1", "名叫亚当`3"))
        self.assertIn("a note without its footnote mark", problems_with("chapters", "夏娃`1", "夏娃"))
        self.assertIn("no note for the marked phrase @水面#",
                      problems_with("chapters", "在水面上", "在@水面#上"))
        self.assertIn("%空气^ is marked in no chapter", problems_with("chapters", "%空气^", "空气"))
        self.assertIn("longer than 30 bytes",
                      problems_with("chapters", "@运行#在水面上", "@运行在水面上，就有了光，就有了光#"))

    def test_study_modules(self):
        self.assertIn("no entry 乐园", problems_with("zendri", "rovask#晨星>", "rovask#乐园>"))
        self.assertIn("tidoran.txt line 2", problems_with("tidoran", "创3、诗1,", "创3,诗1,"))
        self.assertIn("holds 5 plan days", problems_with("zendri", "006:=", "<hr>"))
        self.assertIn("no GBK form", problems_with("emendo", "下同。", "下同。\U0001F600"))

    def test_index_keys_are_found_at_their_own_entries(self):
        # The trail byte of 丂 (81 40) is "@": "@运行#=" is found inside the first key.
        problems = []
        mm.check_index("emendo", "@丂运行#=甲\r\n@运行#=乙\r\n".encode("gbk"), problems)
        self.assertEqual(problems, ["emendo: the index key @运行# is found at another entry"])
        problems = []
        keys = mm.check_index("tessaly", b"0100000:=\r\nx\r\n01001:=\r\n66022:=\r\n", problems)
        self.assertEqual((keys, problems), ([b"0100000", b"01001", b"66022"], []))


if __name__ == "__main__":
    unittest.main()
