"""Tests of the verse-by-verse comparison on module texts and diatheke output written by hand
(no SWORD module or envoke needed)."""

import io
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import compare_import  # noqa: E402


def write_module(folder, text):
    path = os.path.join(folder, "module.txt")
    with open(path, "wb") as handle:
        handle.write(text.replace("\n", "\r\n").replace(":=\r\n", ":=\n").encode("gbk"))
    return path


class NormalizeTest(unittest.TestCase):
    def test_only_letters_and_digits_count(self):
        self.assertEqual(compare_import.normalize("In the beginning, “God” created—"),
                         compare_import.normalize("Inthe beginning God\tcreated"))
        self.assertNotEqual(compare_import.normalize("the king"), compare_import.normalize("the King"))

    def test_what_gbk_lacks_and_stray_markers_go(self):
        self.assertEqual(compare_import.normalize("C\u00e6sar \\nd JEHOVAH\\nd*"), "CsarJEHOVAH")


class DiathekeLineTest(unittest.TestCase):
    def test_a_title_repeated_before_the_book_name_is_not_part_of_it(self):
        line = ('<title type="psalm">A genuine Psalm of David.</title> <l sID="x"/>'
                'III John 1:15: <w>Peace</w> be to you.')
        match = compare_import.VERSE_LINE.search(line)
        self.assertEqual((match.group("book"), match.group("chapter"), match.group("verse")),
                         ("III John", "1", "15"))
        match = compare_import.VERSE_LINE.search("A title.  Revelation of John 12:18: ")
        self.assertEqual(match.group("book"), "Revelation of John")


class CompareTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.reference = {(1, 1, 1): "In the beginning God created.", (1, 1, 2): "The earth.",
                          (1, 1, 3): "Light.", (1, 1, 4): "", (19, 3, 1): "Lord, how"}

    def run_compare(self, module, tolerance=(0.0, 0.0)):
        report = io.StringIO()
        ok = compare_import.compare("test", write_module(self.folder, module), self.reference,
                                    self.folder, tolerance, report)
        return ok, report.getvalue()

    def test_labels_ranges_and_verses_that_begin_with_a_number(self):
        verses = compare_import.module_verses(
            write_module(self.folder, "01001:=\n$1In the beginning\n$2-3The earth\n$410 cubits\n$5x\n"
                                      "01002:=\n$1a\n$2b\n$3c\n$34a verse diatheke lacks\n"),
            {(1, 1, 1): "", (1, 1, 2): "", (1, 1, 3): "", (1, 1, 4): "", (1, 1, 5): "",
             (1, 2, 1): "", (1, 2, 2): "", (1, 2, 3): ""})
        self.assertEqual(verses, [(1, 1, [1], "In the beginning"), (1, 1, [2, 3], "The earth"),
                                  (1, 1, [4], "10 cubits"), (1, 1, [5], "x"), (1, 2, [1], "a"),
                                  (1, 2, [2], "b"), (1, 2, [3], "c"),
                                  (1, 2, [34], "a verse diatheke lacks")])

    def test_equal_texts_pass_and_an_empty_verse_does_not_count(self):
        ok, report = self.run_compare("01001:=\n$1In the beginning, God created.\n$2-3The earth. Light.\n"
                                      "19003:=\n$1LORD, how\n")
        self.assertFalse(ok, report)  # "LORD" is not "Lord"
        ok, report = self.run_compare("01001:=\n$1In the beginning, God created.\n$2-3The earth. Light.\n"
                                      "19003:=\n$1Lord how\n")
        self.assertTrue(ok, report)

    def test_missing_verses_strongs_numbers_and_counts_fail(self):
        ok, report = self.run_compare("01001:=\n$1In the beginning God H0430 created.\n$2The earth.\n"
                                      "19003:=\n$1Lord, how\n")
        self.assertFalse(ok)
        self.assertIn("Strong's number", report)
        self.assertIn("book 1 (Genesis): 2 verses, diatheke 3", report)
        self.assertIn("Genesis 1:3\n    ours:     (missing)", report)

    def test_a_tolerance_lets_listed_differences_pass(self):
        ok, report = self.run_compare("01001:=\n$1In the beginning God made.\n$2The earth.\n$3Light.\n"
                                      "19003:=\n$1Lord, how\n", tolerance=(0.25, 0.0))
        self.assertTrue(ok, report)
        self.assertIn("Genesis 1:1\n    ours:     In the beginning God made.", report)


if __name__ == "__main__":
    unittest.main()
