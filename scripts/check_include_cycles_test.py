"""Tests of check_include_cycles.py on small trees made in a temporary folder."""

import contextlib
import io
import os
import tempfile
import unittest

import check_include_cycles


class IncludeCycleCheck(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = self.temp.name

    def tearDown(self):
        self.temp.cleanup()

    def write(self, path, *includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as handle:
            handle.write("#pragma once\n")
            for include in includes:
                handle.write(f'#include "{include}"\n')

    def run_check(self, *extra):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = check_include_cycles.main(["--root", self.root, *extra])
        return status, out.getvalue()

    def test_layers_that_point_down_pass_and_a_loop_back_fails_with_its_path(self):
        self.write("engine/com/control.h", "engine/pages/page.h", "engine/state/state.h", "<vector>")
        self.write("engine/pages/page.h", "engine/state/state.h", "textlib/text.h")
        self.write("engine/state/state.h", "textlib/text.h")
        self.write("textlib/text.h", "platform/files.h")
        self.write("platform/files.h")
        status, out = self.run_check("--graph")
        self.assertEqual(status, 0, out)
        self.assertIn("engine/com -> engine/pages, engine/state", out)
        self.assertIn("no cycle", out)

        # The state header reaches back up into the members: state -> com -> pages -> state.
        self.write("engine/state/state.h", "textlib/text.h", "engine/com/control.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("include cycle between folders: engine/com -> engine/state -> engine/com", out)
        self.assertIn('engine/state -> engine/com: engine/state/state.h:3: #include "engine/com/control.h"', out)

    def test_top_level_folders_count_whole_and_includes_resolve_beside_the_file_first(self):
        # An include of a file beside it stays inside the folder; the same name from the root
        # would point into platform/.
        self.write("setup/entry/main.cpp", "files.h")
        self.write("setup/entry/files.h")
        self.write("updater/flow.cpp", "setup/entry/files.h")
        self.write("platform/files.h")
        status, out = self.run_check()
        self.assertEqual(status, 0, out)

        self.write("setup/entry/files.h", "updater/flow.h")
        self.write("updater/flow.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("include cycle between folders: setup -> updater -> setup", out)

    def test_headers_that_are_no_file_of_the_tree_draw_no_arrow(self):
        self.write("engine/com/control.cpp", "quillax_idl.h", "engine/missing.h")
        self.write("devhost/server.cpp", "engine/com/control.cpp")
        status, out = self.run_check()
        self.assertEqual(status, 0, out)
        self.assertIn("2 folders, 1 arrows", out)


if __name__ == "__main__":
    unittest.main()
