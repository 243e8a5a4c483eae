#!/usr/bin/env python3
"""Tests of the release tooling: the version-resource reader, the licence notices, and the
packing driver with the real zip32.dll under Wine, checked by Python's zipfile and unzip -t.

    test_package.py --bin BUILD/bin --source SOURCE [--wine-exec SCRIPT]
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_bundle  # noqa: E402
import notices  # noqa: E402
import peversion  # noqa: E402

ARGS = None
BINARIES = ("Parcelo.exe", "zip32.dll", "unzip32.dll")


def tree_machine():
    """The machine the tree was built for, from the driver program itself."""
    with open(os.path.join(ARGS.bin, "package_zip.exe"), "rb") as f:
        return peversion.PeImage(f.read()).machine


class VersionResourceTest(unittest.TestCase):
    def test_binaries_carry_version_and_name(self):
        machine = peversion.MACHINES[tree_machine()]
        for name in BINARIES:
            with self.subTest(binary=name):
                path = os.path.join(ARGS.bin, name)
                self.assertTrue(os.path.isfile(path), f"{name} was not built")
                info = peversion.version_info(path)
                self.assertEqual(peversion.problems(info, "2.0.0", "Parcelo", machine, name), [])
                self.assertEqual(info["file_version"], (2, 0, 0, 0))
                self.assertEqual(info["strings"]["ProductName"], "Parcelo")

    def test_wrong_versions_and_names_are_reported(self):
        info = peversion.version_info(os.path.join(ARGS.bin, "Parcelo.exe"))
        cases = [("2.0.1", "Parcelo", None, None, 4),
                 ("2.0.0", "Parcela", None, None, 1),
                 ("2.0.0", "Parcelo", "arm", None, 1),
                 ("2.0.0", "Parcelo", None, "zip32.dll", 1)]
        for expect, name, machine, filename, count in cases:
            with self.subTest(expect=expect, name=name, machine=machine, filename=filename):
                self.assertEqual(len(peversion.problems(info, expect, name, machine, filename)), count)

    def test_damaged_images_are_refused(self):
        with open(os.path.join(ARGS.bin, "Parcelo.exe"), "rb") as f:
            good = bytearray(f.read())
        pe = struct.unpack_from("<I", good, 0x3C)[0]
        image = peversion.PeImage(bytes(good))
        resources = image.offset(image.resource_rva)
        raw = image.resource(peversion.RT_VERSION)
        version = bytes(good).find(raw)
        damages = {
            "MZ": lambda d: d.__setitem__(slice(0, 2), b"ZM"),
            "PE": lambda d: d.__setitem__(slice(pe, pe + 4), b"PX\0\0"),
            "cut inside the resources": lambda d: d.__delitem__(slice(resources + 20, len(d))),
            "fixed information signature": lambda d: d.__setitem__(slice(version + 40, version + 44), b"\0\0\0\0"),
        }
        for what, damage in damages.items():
            with self.subTest(damage=what):
                d = bytearray(good)
                damage(d)
                with tempfile.NamedTemporaryFile(suffix=".exe", delete=False) as t:
                    t.write(d)
                try:
                    with self.assertRaises((peversion.PeError, struct.error)):
                        peversion.version_info(t.name)
                finally:
                    os.unlink(t.name)


class NoticesTest(unittest.TestCase):
    def test_zlib_licence_is_the_published_text(self):
        with open(notices.ZLIB_HEADER, encoding="latin-1") as f:
            text = notices.zlib_licence(f.read())
        self.assertTrue(text.startswith("zlib.h -- interface of the 'zlib' general purpose compression library"))
        self.assertIn("Permission is granted to anyone to use this software for any purpose,", text)
        self.assertTrue(text.rstrip().endswith("madler@alumni.caltech.edu"))
        self.assertNotIn("RFC", text)

    def test_files_are_written_with_windows_line_ends(self):
        with tempfile.TemporaryDirectory() as out:
            self.assertEqual(subprocess.run([sys.executable, notices.__file__, out]).returncode, 0)
            names = ["LICENSE-zlib.txt", "LICENSE-winpthreads.txt"]
            names += [file for file, _, _ in notices.LIBRARIES.values()]
            self.assertEqual(sorted(os.listdir(out)), sorted(names))
            for name in names:
                with self.subTest(file=name):
                    with open(os.path.join(out, name), "rb") as f:
                        data = f.read()
                    self.assertGreater(len(data), 500)
                    self.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
            with open(os.path.join(out, "LICENSE-winpthreads.txt"), encoding="ascii") as f:
                text = f.read()
            self.assertIn("mingw-w64 project", text)
            self.assertIn("Permission is hereby granted, free of charge", text)

    def test_library_notices_name_the_versions_built(self):
        # The versions scripts/thirdparty recorded for the 32-bit tree, each in its notice.
        with open(os.path.join(notices.THIRDPARTY, "versions"), encoding="utf-8") as f:
            versions = notices.read_versions(f.read())
        self.assertEqual(sorted(versions), sorted(notices.LIBRARIES))
        for name, text in notices.thirdparty_notices(notices.THIRDPARTY):
            library = next(k for k, v in notices.LIBRARIES.items() if v[0] == name)
            with self.subTest(library=library):
                upstream, debian = versions[library]
                head = " ".join(text.split("\n\n", 1)[0].split())
                self.assertIn(f"version {upstream}, linked statically", head)
                self.assertIn(f"source package of version {debian}.", head)

    def test_a_wrong_or_unversioned_library_licence_is_refused(self):
        mit = "Copyright 2016 Eric Biggers\n\nPermission is hereby granted, free of charge, ..."
        versions = {"libdeflate": ("1.14", "1.14-1")}
        self.assertEqual(notices.library_notice("libdeflate", versions, mit)[0], "LICENSE-libdeflate.txt")
        cases = [("zstd", versions, mit),                    # another library's licence
                 ("libdeflate", {}, mit),                    # no version recorded
                 ("bzip2", {"bzip2": ("1.0.8", "1.0.8-5")}, "")]
        for name, v, text in cases:
            with self.subTest(library=name):
                with self.assertRaises(ValueError):
                    notices.library_notice(name, v, text)
        with self.assertRaises(ValueError):
            notices.read_versions("zstd 1.5.4\n")

    def test_a_header_without_its_licence_is_refused(self):
        with self.assertRaises(ValueError):
            notices.zlib_licence("/* zlib.h -- nothing here */\n#define ZLIB_H\n")


class DriverTest(unittest.TestCase):
    """The driver packs with the real zip32.dll as Parcelo calls it: bare names, exact bytes."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="package-test-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_driver(self, archive, files):
        win = lambda p: "Z:" + p.replace("/", "\\")  # noqa: E731
        cmd = [ARGS.wine_exec, os.path.join(ARGS.bin, "package_zip.exe"), win(archive)] + [win(f) for f in files]
        return subprocess.run(cmd, capture_output=True, text=True, timeout=300)

    def make(self, rel, data):
        path = os.path.join(self.dir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_files_from_several_folders_are_stored_under_bare_names(self):
        files = [
            self.make("a/readme.txt", b"Parcelo\r\n" * 500),
            self.make("b/c/random.bin", os.urandom(70000)),
            self.make("empty.dat", b""),
            self.make("d/Big Name With Spaces.txt", bytes(range(256)) * 300),
        ]
        archive = os.path.join(self.dir, "out", "bundle.zip")
        os.makedirs(os.path.dirname(archive))
        r = self.run_driver(archive, files)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        stage = os.path.join(self.dir, "stage")
        os.makedirs(stage)
        for f in files:
            shutil.copy(f, stage)
        names = [os.path.basename(f) for f in files]
        self.assertEqual(check_bundle.check(archive, stage, names), [])
        t = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True)
        self.assertEqual(t.returncode, 0, t.stdout + t.stderr)
        with zipfile.ZipFile(archive) as z:
            # Text compresses; random bytes do not and may be stored.
            self.assertLess(z.getinfo("readme.txt").compress_size, z.getinfo("readme.txt").file_size // 10)

    def test_a_missing_file_fails_with_its_name_and_the_others_are_kept(self):
        # zip32.h: status 18 (a listed file is missing), the file named in a message, the
        # other files archived.
        archive = os.path.join(self.dir, "bundle.zip")
        r = self.run_driver(archive, [self.make("here.txt", b"x"), os.path.join(self.dir, "missing.txt")])
        self.assertEqual(r.returncode, 18, r.stderr)
        self.assertIn("missing.txt", r.stderr)
        with zipfile.ZipFile(archive) as z:
            self.assertEqual(z.namelist(), ["here.txt"])

    def test_check_bundle_finds_a_changed_member(self):
        files = [self.make("one.txt", b"one"), self.make("two.txt", b"two")]
        archive = os.path.join(self.dir, "b.zip")
        self.assertEqual(self.run_driver(archive, files).returncode, 0)
        with open(files[1], "wb") as f:
            f.write(b"TWO")
        problems = check_bundle.check(archive, self.dir, ["one.txt", "two.txt"])
        self.assertEqual(problems, ["two.txt differs from the staged file"])
        self.assertEqual(len(check_bundle.check(archive, self.dir, ["one.txt"])), 1)


def main():
    global ARGS
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--wine-exec")
    ARGS, rest = ap.parse_known_args()
    if not ARGS.wine_exec:
        ARGS.wine_exec = os.path.join(ARGS.source, "scripts", "wine-exec")
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
