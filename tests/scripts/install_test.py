#!/usr/bin/env python3
"""`cmake --install` of the build tree into a scratch prefix: every file in its
place with its mode, the desktop entry naming the installed program, the
manual pages readable, and the installed programs finding their help pages
from the prefix, also after the prefix is moved.

Environment: ZARNS_BUILD_DIR, ZARNS_SOURCE_DIR, CMAKE_COMMAND, ZARNS_VERSION,
ZARNS_GUI (ON or OFF).
"""

import glob
import gzip
import os
import re
import shutil
import stat
import struct
import subprocess
import tempfile
import unittest

BUILD = os.environ["ZARNS_BUILD_DIR"]
SOURCE = os.environ["ZARNS_SOURCE_DIR"]
CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")
VERSION = os.environ["ZARNS_VERSION"]
GUI = os.environ.get("ZARNS_GUI", "ON").upper() in ("ON", "1", "TRUE", "YES")

DESKTOP = "share/applications/zarns.desktop"
MIME = "share/mime/packages/zarns.xml"
APP_ICON = "share/icons/hicolor/scalable/apps/zarns.svg"
DOC_ICON = "share/icons/hicolor/scalable/mimetypes/application-x-zarns-document.svg"
HELP = "share/zarns/help/"


def program_env():
    """The environment of an installed program: nothing pointing back at the build."""
    env = dict(os.environ)
    env.pop("ZARNS_HELP_DIR", None)
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


class Install(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix="zarns-install-")
        cls.prefix = os.path.join(cls._tmp.name, "prefix")
        p = subprocess.run([CMAKE, "--install", BUILD, "--prefix", cls.prefix],
                           capture_output=True, text=True, timeout=120)
        cls.install_log = p.stdout + p.stderr
        cls.install_rc = p.returncode

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def path(self, rel):
        return os.path.join(self.prefix, rel)

    def read(self, rel, mode="r"):
        with open(self.path(rel), mode) as f:
            return f.read()

    def test_install_succeeds(self):
        self.assertEqual(self.install_rc, 0, self.install_log)

    def test_every_file_in_its_place_with_its_mode(self):
        files = ["bin/zarns-cli", "share/man/man1/zarns-cli.1.gz"]
        desktop = ["bin/zarns", DESKTOP, MIME, APP_ICON, DOC_ICON, "share/man/man1/zarns.1.gz"]
        if GUI:
            files += desktop
        else:
            # Without the program, nothing of what would start it.
            for rel in desktop:
                self.assertFalse(os.path.exists(self.path(rel)), rel)
        pages = sorted(os.path.basename(p) for p in
                       glob.glob(os.path.join(SOURCE, "resources/help/*.htm*")))
        self.assertIn("ZarnsDoc1.htm", pages)
        self.assertIn("contents.html", pages)
        files += [HELP + p for p in pages]
        for rel in files:
            with self.subTest(rel=rel):
                st = os.stat(self.path(rel))
                want = 0o755 if rel.startswith("bin/") else 0o644
                # Readable by everyone, whatever the umask of the build.
                self.assertEqual(stat.S_IMODE(st.st_mode) & 0o755, want, oct(st.st_mode))
        self.assertEqual(sorted(os.listdir(self.path(HELP))), pages)

    @unittest.skipUnless(GUI, "built without the GUI")
    def test_icons_are_the_programs_own(self):
        with open(os.path.join(SOURCE, "resources/icons/1001.svg"), "rb") as f:
            self.assertEqual(self.read(APP_ICON, "rb"), f.read())
        with open(os.path.join(SOURCE, "resources/icons/1002.svg"), "rb") as f:
            self.assertEqual(self.read(DOC_ICON, "rb"), f.read())

    @unittest.skipUnless(GUI, "built without the GUI")
    def test_fixed_size_icons_are_pngs_of_their_size(self):
        for size in (16, 24, 32, 48, 64, 128, 256):
            for rel in ("apps/zarns.png", "mimetypes/application-x-zarns-document.png"):
                path = "share/icons/hicolor/%dx%d/%s" % (size, size, rel)
                with self.subTest(path=path):
                    data = self.read(path, "rb")
                    self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
                    self.assertEqual(data[12:16], b"IHDR")
                    self.assertEqual(struct.unpack(">II", data[16:24]), (size, size))
                    self.assertEqual(stat.S_IMODE(os.stat(self.path(path)).st_mode) & 0o755, 0o644)

    @unittest.skipUnless(GUI, "built without the GUI")
    def test_desktop_entry_starts_the_installed_program(self):
        entry = self.read(DESKTOP)
        exe = os.path.join(self.prefix, "bin/zarns")
        self.assertIn('\nExec="%s" --open %%F\n' % exe, entry)
        self.assertTrue(entry.startswith("[Desktop Entry]\nType=Application\n"))
        self.assertIn("\nIcon=zarns\n", entry)
        self.assertIn("\nMimeType=application/x-zarns-document;", entry)
        mime = self.read(MIME)
        self.assertIn('<mime-type type="application/x-zarns-document">', mime)
        self.assertIn('<glob pattern="*.zxt"/>', mime)
        self.assertIn('<icon name="application-x-zarns-document"/>', mime)

    def test_manual_pages_name_the_version_and_exit_statuses(self):
        for page in ("zarns", "zarns-cli") if GUI else ("zarns-cli",):
            with gzip.open(self.path("share/man/man1/%s.1.gz" % page), "rt") as f:
                text = f.read()
            with self.subTest(page=page):
                self.assertTrue(text.startswith(".TH %s 1 " % page.upper()), text[:60])
                self.assertIn('"Zarns %s"' % VERSION, text)
                self.assertNotIn("@", text.split("\n")[0])
        with gzip.open(self.path("share/man/man1/zarns-cli.1.gz"), "rt") as f:
            text = f.read()
        section = text[text.index(".SH EXIT STATUS"):text.index(".SH ENVIRONMENT")]
        listed = re.findall(r"^\.B (\d+)$", section, re.M)
        # The same statuses as the program's own --help names, in order.
        p = subprocess.run([self.path("bin/zarns-cli"), "--help"], capture_output=True,
                           text=True, timeout=30, env=program_env())
        footer = p.stdout[p.stdout.index("Exit status:"):p.stdout.index("Help pages:")]
        self.assertEqual(listed, re.findall(r"(\d+) [a-z]", footer))
        self.assertEqual(listed, ["0", "1", "2", "3", "4"])

    def test_installed_cli_runs_and_finds_its_help(self):
        cli = self.path("bin/zarns-cli")
        p = subprocess.run([cli, "--version"], capture_output=True, text=True, timeout=30,
                           env=program_env())
        self.assertEqual((p.returncode, p.stdout), (0, "zarns-cli %s\n" % VERSION))
        p = subprocess.run([cli, "--help"], capture_output=True, text=True, timeout=30,
                           env=program_env())
        self.assertEqual(p.returncode, 0)
        self.assertIn("Help pages: %s\n" % self.path(HELP), p.stdout)

    @unittest.skipUnless(GUI, "built without the GUI")
    def test_installed_gui_answers_without_a_display(self):
        env = program_env()
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        exe = self.path("bin/zarns")
        p = subprocess.run([exe, "--version"], capture_output=True, text=True, timeout=30, env=env)
        self.assertEqual((p.returncode, p.stdout), (0, "zarns %s\n" % VERSION))
        p = subprocess.run([exe, "--help"], capture_output=True, text=True, timeout=30, env=env)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn("Help pages: %s\n" % self.path(HELP), p.stdout)

    def test_a_moved_prefix_still_finds_its_help(self):
        moved = os.path.join(self._tmp.name, "moved")
        shutil.copytree(self.prefix, moved, symlinks=True)
        p = subprocess.run([os.path.join(moved, "bin/zarns-cli"), "--help"], capture_output=True,
                           text=True, timeout=30, env=program_env())
        self.assertEqual(p.returncode, 0)
        self.assertIn("Help pages: %s\n" % os.path.join(moved, HELP), p.stdout)


class RelativePrefix(unittest.TestCase):
    """A prefix given relative to the working directory still names the program absolutely."""

    @unittest.skipUnless(GUI, "built without the GUI")
    def test_relative_prefix(self):
        with tempfile.TemporaryDirectory(prefix="zarns-rel-") as cwd:
            p = subprocess.run([CMAKE, "--install", os.path.abspath(BUILD), "--prefix", "here"],
                               capture_output=True, text=True, timeout=120, cwd=cwd)
            self.assertEqual(p.returncode, 0, p.stdout + p.stderr)
            with open(os.path.join(cwd, "here", DESKTOP)) as f:
                exe = os.path.join(os.path.realpath(cwd), "here/bin/zarns")
                entry = f.read()
                self.assertTrue('\nExec="%s" --open %%F\n' % exe in entry or
                                '\nExec="%s" --open %%F\n' % os.path.join(cwd, "here/bin/zarns")
                                in entry, entry)


class StagedInstall(unittest.TestCase):
    """DESTDIR, as a package build uses it: files under the stage, names without it."""

    def test_destdir_keeps_the_final_names(self):
        with tempfile.TemporaryDirectory(prefix="zarns-stage-") as stage:
            env = dict(os.environ, DESTDIR=stage)
            p = subprocess.run([CMAKE, "--install", BUILD, "--prefix", "/usr"],
                               capture_output=True, text=True, timeout=120, env=env)
            self.assertEqual(p.returncode, 0, p.stdout + p.stderr)
            self.assertTrue(os.path.isfile(os.path.join(stage, "usr/bin/zarns-cli")))
            if GUI:
                with open(os.path.join(stage, "usr", DESKTOP)) as f:
                    self.assertIn('\nExec="/usr/bin/zarns" --open %F\n', f.read())
                self.assertTrue(os.path.isfile(os.path.join(stage, "usr", MIME)))
            self.assertEqual(sorted(os.listdir(stage)), ["usr"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
