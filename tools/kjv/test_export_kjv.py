"""Tests of the KJV exporter on diatheke output written by hand (no SWORD module needed)."""

import io
import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import export_kjv  # noqa: E402


class ExportTest(unittest.TestCase):
    def run_export(self, text):
        out = io.BytesIO()
        counts = export_kjv.export(text.splitlines(), out)
        return out.getvalue().decode("gbk"), counts

    def test_takes_verse_lines_and_skips_headings(self):
        lines, (verses, books, dropped) = self.run_export(
            "Genesis 1:1: In the beginning God created the heaven and the earth.\n"
            "Genesis 1:2: \u00b6 And the earth was without form,  \n"
            "A Psalm of David.\n"
            "\n"
            "Psalms 119:176: I have gone astray; I\u2019m \u2014 lost\u2122.\n"
            "David\u2019s Psalm of praise.\n"
            "   Revelation of John 22:21: The grace of our Lord Jesus Christ be with you all. Amen.    \n"
            "(engKJV2006eb)\n")
        self.assertEqual(lines,
                         "gen\t1\t1\t1\tIn the beginning God created the heaven and the earth.\n"
                         "gen\t1\t1\t2\tAnd the earth was without form,\n"
                         "psa\t19\t119\t176\tI have gone astray; I'm -- lost.\n"
                         "rev\t66\t22\t21\tThe grace of our Lord Jesus Christ be with you all. Amen.\n")
        self.assertEqual((verses, books, dropped), (4, 3, 1))

    def test_numbered_books_and_unknown_names(self):
        lines, _ = self.run_export("I Samuel 1:1: a\nIII John 1:1: b\nJasher 1:1: not a book\n")
        self.assertEqual(lines, "1sam\t9\t1\t1\ta\n3john\t64\t1\t1\tb\n")

    def test_osis_output_gets_its_blanks_back_and_loses_tags_notes_and_titles(self):
        out = io.BytesIO()
        export_kjv.export([
            "Genesis 1:1: <w>In</w> <w>the</w> <w>beginning</w>, <w>God</w><w>created</w> "
            "<w>the</w> <w>earth</w>.<milestone type=\"line\"/>",
            "A Psalm by David.  Psalms 23:1: \u201c<w>Yahweh</w>\u201d,<w>my</w> "
            "<w>shepherd</w><note type=\"x\">or, pastor</note>; wise men<w>lack</w>."],
            out, osis=True)
        self.assertEqual(out.getvalue().decode("gbk"),
                         "gen\t1\t1\t1\tIn the beginning, God created the earth.\n"
                         "psa\t19\t23\t1\t\"Yahweh\", my shepherd; wise men lack.\n")

    def test_verses_out_of_order_are_an_error(self):
        with self.assertRaises(ValueError):
            self.run_export("Genesis 1:2: b\nGenesis 1:1: a\n")

    def test_the_table_has_the_66_books(self):
        self.assertEqual(len(export_kjv.BOOKS), 66)
        self.assertEqual(len({abbreviation for _, abbreviation in export_kjv.BOOKS}), 66)


class RangeTest(unittest.TestCase):
    """main() with a stand-in diatheke that prints two chapters and notes the key it got."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.keys = os.path.join(self.dir.name, "keys")
        self.program = os.path.join(self.dir.name, "diatheke")
        with open(self.program, "w") as f:
            f.write("#!/bin/sh\n"
                    "case \"$*\" in *modulelist*)\n"
                    "  echo 'engKJV2006eb : King James Version'; exit 0;; esac\n"
                    "for a; do last=$a; done\n"
                    "echo \"$last\" >> %s\n"
                    "echo 'Psalms 23:1: The LORD is my shepherd; I shall not want.'\n"
                    "echo 'Revelation of John 22:21: The grace of our Lord Jesus Christ.'\n"
                    % self.keys)
        os.chmod(self.program, stat.S_IRWXU)
        self.out = os.path.join(self.dir.name, "kjv.txt")

    def test_a_range_exports_only_its_chapters_and_the_whole_bible_needs_all_books(self):
        code = export_kjv.main(["--diatheke", self.program, "--range", "Ps 23;Rev 22", self.out])
        self.assertEqual(code, 0)
        with open(self.out, "rb") as f:
            self.assertEqual(f.read().decode("gbk").splitlines()[0],
                             "psa\t19\t23\t1\tThe LORD is my shepherd; I shall not want.")
        self.assertEqual(export_kjv.main(["--diatheke", self.program, self.out]), 1)
        with open(self.keys) as f:
            self.assertEqual(f.read().split("\n")[:2], ["Ps 23;Rev 22", "Gen-Rev"])


if __name__ == "__main__":
    unittest.main()
