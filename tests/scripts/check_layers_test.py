#!/usr/bin/env python3
"""The include-direction check over small trees with one fault each."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "check-layers.py")


class CheckLayers(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.root = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def put(self, rel, text=""):
        path = os.path.join(self.root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def run_check(self):
        p = subprocess.run([sys.executable, SCRIPT, self.root], capture_output=True, text=True,
                           timeout=30)
        return p.returncode, [l for l in p.stdout.splitlines() if l]

    def assertClean(self):
        rc, lines = self.run_check()
        self.assertEqual(lines, [])
        self.assertEqual(rc, 0)

    def assertFindings(self, expected):
        rc, lines = self.run_check()
        self.assertEqual(lines, expected)
        self.assertEqual(rc, 1)

    def test_a_tree_that_points_down_passes(self):
        self.put("src/platform/pfile.h", "#include <string>\n")
        self.put("src/store/zrnio.h", '#include "platform/pfile.h"\n')
        self.put("src/host/prompts.h", '#include "platform/pfile.h"\n')
        self.put("src/zarn/engine.cpp", '#include "store/zrnio.h"\n#include "host/prompts.h"\n')
        self.put("src/shell/doc.cpp", '#include "zarn/engine.h"\n')
        self.put("src/zarn/engine.h")
        self.put("src/framework/qthost.cpp", '#include <QWidget>\n#include "shell/doc.h"\n')
        self.put("src/shell/doc.h")
        self.put("src/catalog/ui/dlg.cpp",
                 '#include <QDialog>\n#include "framework/qthost.h"\n#include "store/zrnio.h"\n')
        self.put("src/framework/qthost.h")
        self.put("src/zarn/ui/view.cpp", '#include "catalog/ui/dlg.h"\n')
        self.put("src/catalog/ui/dlg.h")
        self.put("src/cli/main.cpp", '#include "shell/doc.h"\n#include <vector>\n')
        self.put("src/app/main.cpp", '#include "zarn/ui/view.h"\n#include <QApplication>\n')
        self.put("src/zarn/ui/view.h")
        self.assertClean()

    def test_a_core_file_including_a_higher_layer_is_named_with_its_line(self):
        self.put("src/store/pkg.cpp", '#include <string>\n\n#include "shell/host.h"\n')
        self.put("src/shell/host.h")
        self.assertFindings(['src/store/pkg.cpp:3: includes "shell/host.h": shell is above store'])

    def test_the_host_seam_sits_below_store(self):
        self.put("src/host/msg.h", '#include "store/zrnio.h"\n')
        self.put("src/store/zrnio.h")
        self.assertFindings(['src/host/msg.h:1: includes "store/zrnio.h": store is above host'])

    def test_core_and_cli_never_include_qt(self):
        self.put("src/zarn/a.cpp", "#include <QString>\n")
        self.put("src/cli/b.cpp", "#  include <QtCore/qglobal.h>\n")
        self.put("src/framework/c.cpp", "#include <QString>\n")
        rc, lines = self.run_check()
        self.assertEqual(rc, 1)
        self.assertEqual(sorted(lines), [
            "src/cli/b.cpp:1: includes <QtCore/qglobal.h>: cli code never includes Qt",
            "src/zarn/a.cpp:1: includes <QString>: zarn code never includes Qt",
        ])

    def test_cli_and_framework_stay_off_the_windows(self):
        self.put("src/cli/main.cpp", '#include "framework/qthost.h"\n')
        self.put("src/framework/qthost.cpp", '#include "catalog/ui/dlg.h"\n')
        self.put("src/framework/qthost.h")
        self.put("src/catalog/ui/dlg.h")
        rc, lines = self.run_check()
        self.assertEqual(rc, 1)
        self.assertIn('src/cli/main.cpp:1: includes "framework/qthost.h": cli may include only '
                      'the core and itself, not framework', lines)
        self.assertIn('src/framework/qthost.cpp:1: includes "catalog/ui/dlg.h": framework may '
                      'include only the core and itself, not catalog/ui', lines)

    def test_a_ui_folder_includes_only_ui_folders_of_its_own_or_lower_layers(self):
        self.put("src/catalog/ui/dlg.cpp", '#include "zarn/ui/view.h"\n')
        self.put("src/zarn/ui/view.h")
        self.put("src/catalog/ui/ok.cpp", '#include "store/ui/box.h"\n')
        self.put("src/store/ui/box.h")
        self.assertFindings(
            ['src/catalog/ui/dlg.cpp:1: includes "zarn/ui/view.h": zarn/ui is above catalog/ui'])

    def test_a_core_folder_never_includes_its_own_ui(self):
        self.put("src/catalog/zrnfile.cpp", '#include "catalog/ui/dlg.h"\n')
        self.put("src/catalog/ui/dlg.h")
        rc, lines = self.run_check()
        self.assertEqual(rc, 1)
        self.assertIn('src/catalog/zrnfile.cpp:1: includes "catalog/ui/dlg.h": the core '
                      '(catalog) may not include catalog/ui', lines)

    def test_a_cycle_between_files_is_printed_once(self):
        self.put("src/zarn/a.h", '#include "zarn/b.h"\n')
        self.put("src/zarn/b.cpp", '#include "zarn/c.h"\n')
        self.put("src/zarn/b.h")
        self.put("src/zarn/c.cpp", '#include "zarn/a.h"\n')
        self.put("src/zarn/c.h")
        self.assertFindings([
            "include cycle between files: src/zarn/a -> src/zarn/b -> src/zarn/c -> src/zarn/a "
            "(src/zarn/a.h:1, src/zarn/b.cpp:1, src/zarn/c.cpp:1)"
        ])

    def test_a_header_and_its_source_are_one_module(self):
        # x.cpp includes x.h and y.h; y.cpp includes x.h: a cycle of modules.
        self.put("src/shell/x.h")
        self.put("src/shell/x.cpp", '#include "shell/x.h"\n#include "shell/y.h"\n')
        self.put("src/shell/y.h")
        self.put("src/shell/y.cpp", '#include "shell/y.h"\n#include "shell/x.h"\n')
        self.assertFindings([
            "include cycle between files: src/shell/x -> src/shell/y -> src/shell/x "
            "(src/shell/x.cpp:2, src/shell/y.cpp:2)"
        ])

    def test_a_cycle_between_folders_without_a_file_cycle(self):
        self.put("src/store/a.cpp", '#include "shell/b.h"\n')
        self.put("src/shell/b.h")
        self.put("src/shell/c.cpp", '#include "store/d.h"\n')
        self.put("src/store/d.h")
        self.assertFindings([
            'src/store/a.cpp:1: includes "shell/b.h": shell is above store',
            "include cycle between folders: src/shell -> src/store -> src/shell "
            "(src/shell/c.cpp:1, src/store/a.cpp:1)",
        ])

    def test_nothing_under_src_includes_from_tests(self):
        self.put("tests/common/testenv.h")
        self.put("src/store/a.cpp", '#include "common/testenv.h"\n')
        self.put("src/store/b.cpp", '#include "../../tests/common/testenv.h"\n')
        rc, lines = self.run_check()
        self.assertEqual(rc, 1)
        self.assertEqual(lines, [
            'src/store/a.cpp:1: includes "common/testenv.h": nothing under src/ includes from tests/',
            'src/store/b.cpp:1: includes "../../tests/common/testenv.h": nothing under src/ '
            'includes from tests/',
        ])

    def test_includes_beside_the_file_resolve_and_comments_do_not_count(self):
        self.put("src/store/a.cpp",
                 '// #include "shell/x.h"\n/*\n#include "shell/x.h"\n */\n#include "b.h"\n'
                 'const char* s = "/*";\n#include "c.h"\n')
        self.put("src/store/b.h")
        self.put("src/store/c.h", '#include "a.h"\n')
        self.put("src/shell/x.h")
        # a.cpp -> c.h -> a.h (missing: generated files are not followed), so no cycle.
        self.assertClean()
        self.put("src/store/b.h", '#include "../shell/x.h"\n')
        self.assertFindings(['src/store/b.h:1: includes "../shell/x.h": shell is above store'])

    def test_a_folder_outside_every_layer_is_named(self):
        self.put("src/gadgets/g.cpp", "#include <string>\n")
        self.put("src/gadgets/h.cpp")
        self.assertFindings(["src/gadgets/g.cpp: the folder src/gadgets is in no layer"])


if __name__ == "__main__":
    unittest.main(verbosity=1)
