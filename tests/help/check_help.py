#!/usr/bin/env python3
"""Build test of the compiled help: Parcelo.chm is a valid compiled help file whose directory
lists every topic, whose contents are the pages in help/, and whose quoted messages are the
program's own texts.

    check_help.py --chm build/win32/bin/Parcelo.chm --source /work/main
"""
import argparse
import html
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import chm  # noqa: E402

ARGS = None

# The topics a user needs, as the help must offer them: page and a word its title must hold.
REQUIRED_TOPICS = [
    ("getting-started.htm", "getting started"),
    ("create-archive.htm", "creating an archive"),
    ("extract-archive.htm", "extracting an archive"),
    ("messages.htm", "messages"),
    ("safety.htm", "safety"),
    ("limits.htm", "limits"),
    ("keyboard.htm", "keyboard"),
    ("about-window.htm", "about window"),
]

# Where the program's own texts live, and where the libraries' reasons come from.
PROGRAM_DIRS = ["app", "about", "ziplib", "platform"]
LIBRARY_DIRS = ["archive", "dll"]


def help_dir():
    return os.path.join(ARGS.source, "help")


def project_files():
    """The [FILES] section of the help project."""
    files, in_files = [], False
    with open(os.path.join(help_dir(), "Parcelo.hhp"), encoding="ascii") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                in_files = line.upper() == "[FILES]"
            elif in_files and line:
                files.append(line)
    return files


class SitemapParser(html.parser.HTMLParser):
    """Name/Local pairs of a contents (.hhc) or index (.hhk) file."""

    def __init__(self):
        super().__init__()
        self.items, self._current = [], None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "object" and a.get("type") == "text/sitemap":
            self._current = {}
        elif tag == "param" and self._current is not None:
            self._current[a.get("name", "").lower()] = a.get("value", "")

    def handle_endtag(self, tag):
        if tag == "object" and self._current is not None:
            self.items.append((self._current.get("name", ""), self._current.get("local", "")))
            self._current = None


def sitemap(name):
    p = SitemapParser()
    with open(os.path.join(help_dir(), name), encoding="ascii") as f:
        p.feed(f.read())
    return p.items


class PageParser(html.parser.HTMLParser):
    """Links, title and quoted messages of a page. A message is a <span class="msg">; the
    <var> elements inside it stand for text the program fills in."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links, self.messages, self.title = [], [], ""
        self._in_title, self._msg, self._var = False, None, 0

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ("href", "src"):
            if key in a and a[key]:
                self.links.append(a[key])
        if tag == "title":
            self._in_title = True
        elif tag == "span" and a.get("class") == "msg":
            self._msg = [""]
        elif tag == "br" and self._msg is not None and self._var == 0:
            self._msg[-1] += "\r\n"  # a line break of the message box
        elif tag == "var" and self._msg is not None:
            self._var += 1
            self._msg.append(None)  # a placeholder splits the message into pieces
            self._msg.append("")

    def handle_endtag(self, tag):
        if tag == "title":
            self._in_title = False
        elif tag == "var" and self._msg is not None:
            self._var -= 1
        elif tag == "span" and self._msg is not None:
            self.messages.append([p for p in self._msg if p is not None])
            self._msg = None

    def handle_data(self, data):
        if self._in_title:
            self.title += data
        if self._msg is not None and self._var == 0:
            self._msg[-1] += data


def parse_page(name):
    p = PageParser()
    with open(os.path.join(help_dir(), name), encoding="ascii") as f:
        p.feed(f.read())
    return p


ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\", "'": "'"}


def program_literals(dirs=PROGRAM_DIRS):
    """The string literals of the sources in the folders, escapes decoded, adjacent literals
    joined."""
    literal = r'"((?:[^"\\\n]|\\.)*)"'
    run = re.compile(literal + r'(?:\s*' + literal + r')*')
    piece = re.compile(literal)
    texts = []
    for d in dirs:
        for root, _, files in os.walk(os.path.join(ARGS.source, d)):
            for name in files:
                if not name.endswith((".cpp", ".h")):
                    continue
                with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                    code = f.read()
                code = re.sub(r"^\s*#\s*include.*$", "", code, flags=re.M)
                for m in run.finditer(code):
                    joined = "".join(piece.findall(m.group(0)))
                    texts.append(re.sub(r"\\(.)", lambda e: ESCAPES.get(e.group(1), e.group(0)), joined))
    return texts


class ContainerTest(unittest.TestCase):
    """The file is a compiled help file, and its directory lists every topic."""

    @classmethod
    def setUpClass(cls):
        with open(ARGS.chm, "rb") as f:
            cls.data = f.read()
        cls.chm = chm.Chm(cls.data)

    def test_header_and_sections(self):
        self.assertEqual(self.data[:4], b"ITSF")
        self.assertEqual(self.chm.version, 3)
        self.assertEqual(self.chm.language, 0x409)
        self.assertEqual(self.chm.section_names(), ["Uncompressed", "MSCompressed"])
        for name in ("/#SYSTEM", "/#TOPICS", "/#URLSTR", "/#STRINGS",
                     "::DataSpace/Storage/MSCompressed/Content",
                     "::DataSpace/Storage/MSCompressed/ControlData",
                     "::DataSpace/Storage/MSCompressed/Transform/List"):
            self.assertIn(name, self.chm.entries)
        content = self.chm.entries["::DataSpace/Storage/MSCompressed/Content"]
        self.assertLessEqual(self.chm.content_offset + content.offset + content.length, len(self.data))

    def test_every_project_file_is_listed_with_its_size(self):
        files = project_files() + ["Contents.hhc", "Index.hhk"]
        self.assertGreaterEqual(len(files), len(REQUIRED_TOPICS) + 2)
        plain, packed = self.chm.compressed_section_sizes()
        self.assertEqual(packed, self.chm.entries["::DataSpace/Storage/MSCompressed/Content"].length)
        for name in files:
            with self.subTest(file=name):
                entry = self.chm.entries.get("/" + name)
                self.assertIsNotNone(entry, f"{name} is missing from the directory")
                self.assertEqual(entry.length, os.path.getsize(os.path.join(help_dir(), name)))
                self.assertEqual(entry.section, 1)
                self.assertGreater(entry.length, 0)
                self.assertLessEqual(entry.offset + entry.length, plain)

    def test_required_topics_are_pages_in_contents_and_directory(self):
        contents = {local: title for title, local in sitemap("Contents.hhc")}
        for page, word in REQUIRED_TOPICS:
            with self.subTest(page=page):
                self.assertIn("/" + page, self.chm.entries)
                self.assertIn(page, contents, f"{page} is not in the table of contents")
                self.assertIn(word, contents[page].lower())
                self.assertIn(word.split()[-1], parse_page(page).title.lower())

    def test_system_record_names_contents_index_topic_and_title(self):
        system = self.chm.system()
        self.assertEqual(system[0], b"Contents.hhc\0")
        self.assertEqual(system[1], b"Index.hhk\0")
        self.assertEqual(system[2], b"getting-started.htm\0")
        self.assertEqual(system[3], b"Parcelo Help\0")

    def test_index_and_contents_point_at_listed_pages(self):
        for source in ("Contents.hhc", "Index.hhk"):
            items = sitemap(source)
            self.assertTrue(items, f"{source} is empty")
            for title, local in items:
                with self.subTest(file=source, item=title):
                    self.assertTrue(title)
                    self.assertIn("/" + local, self.chm.entries)
        keywords = [t for t, _ in sitemap("Index.hhk")]
        self.assertEqual(keywords, sorted(keywords, key=str.lower), "the index is not sorted")
        indexed = {local for _, local in sitemap("Index.hhk")}
        for page, _ in REQUIRED_TOPICS:
            self.assertIn(page, indexed, f"no index keyword leads to {page}")


class ContentTest(unittest.TestCase):
    """What a second reader (7-Zip) finds inside is exactly the pages of help/."""

    def test_pages_come_out_byte_for_byte(self):
        seven = shutil.which("7z")
        self.assertIsNotNone(seven, "7z (p7zip-full, installed by scripts/deps) is needed")
        with tempfile.TemporaryDirectory() as out:
            r = subprocess.run([seven, "x", "-y", "-o" + out, ARGS.chm], capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            for name in project_files() + ["Contents.hhc", "Index.hhk"]:
                with self.subTest(file=name):
                    with open(os.path.join(out, name), "rb") as got, \
                            open(os.path.join(help_dir(), name), "rb") as want:
                        self.assertEqual(got.read(), want.read())


class PagesTest(unittest.TestCase):
    """The pages link only to what the help holds, and quote the program's texts exactly."""

    def test_links_resolve_and_pages_are_plain(self):
        files = set(project_files())
        for page in [f for f in files if f.endswith(".htm")]:
            with self.subTest(page=page):
                with open(os.path.join(help_dir(), page), "rb") as f:
                    raw = f.read()
                raw.decode("ascii")  # declared windows-1252: keep to the common part
                for link in parse_page(page).links:
                    target = link.split("#")[0]
                    if target:
                        self.assertIn(target, files, f"{page} links to {link}")

    def test_quoted_messages_are_the_programs_texts(self):
        # A quoted message is text the program or a library writes, blanks and line breaks
        # included: whole when it has no placeholder, else its first piece begins a literal of
        # the sources, its last piece ends one and the pieces between occur in one.
        literals = program_literals(PROGRAM_DIRS + LIBRARY_DIRS)
        self.assertTrue(literals)
        quoted = 0
        for page in [f for f in project_files() if f.endswith(".htm")]:
            for pieces in parse_page(page).messages:
                quoted += 1
                with self.subTest(page=page, text="<var>".join(pieces)):
                    if len(pieces) == 1:
                        self.assertTrue(pieces[0] in literals, "not a text of the program")
                        continue
                    first, middle, last = pieces[0], pieces[1:-1], pieces[-1]
                    if first:
                        self.assertTrue(any(lit.startswith(first) for lit in literals), f"{first!r} begins no text")
                    if last:
                        self.assertTrue(any(lit.endswith(last) for lit in literals), f"{last!r} ends no text")
                    for piece in filter(None, middle):
                        self.assertTrue(any(piece in lit for lit in literals), f"{piece!r} is in no text")
        self.assertGreaterEqual(quoted, 20)

    def test_program_messages_are_all_explained(self):
        # The program's message texts end in a run of blanks; every one of them is quoted.
        documented = set()
        for page in [f for f in project_files() if f.endswith(".htm")]:
            for pieces in parse_page(page).messages:
                documented.update(pieces)
        messages = {lit for lit in program_literals() if re.search(r"\S {3,}$", lit)}
        self.assertTrue(messages)
        for text in sorted(messages):
            with self.subTest(text=text):
                self.assertIn(text, documented, f"the message {text!r} is not in the help")


    def test_keyboard_page_gives_the_buttons_own_mnemonics(self):
        # Each Alt+letter row names a button whose caption marks that letter with "&".
        with open(os.path.join(help_dir(), "keyboard.htm"), encoding="ascii") as f:
            rows = re.findall(r'<kbd>Alt</kbd>\+<kbd>(\w)</kbd></td><td><span class="ui">([^<]+)</span>', f.read())
        self.assertGreaterEqual(len(rows), 10)
        captions = [lit for lit in program_literals() if "&" in lit and not lit.startswith("&h")]
        for letter, button in rows:
            with self.subTest(key=letter, button=button):
                marked = [c for c in captions if c.replace("&", "") == button]
                self.assertTrue(marked, f"no caption reads {button!r}")
                self.assertTrue(any(c[c.index("&") + 1].lower() == letter.lower() for c in marked),
                                f"{button!r} is not reached with Alt+{letter}: {marked}")


class ReaderTest(unittest.TestCase):
    """The directory reader refuses damaged copies, so that its verdict above means something."""

    def setUp(self):
        with open(ARGS.chm, "rb") as f:
            self.data = bytearray(f.read())

    def test_damage_is_refused(self):
        good = chm.Chm(bytes(self.data))
        dir_off = int.from_bytes(self.data[0x48:0x50], "little")
        chunk_size = int.from_bytes(self.data[dir_off + 0x10:dir_off + 0x14], "little")
        first = int.from_bytes(self.data[dir_off + 0x20:dir_off + 0x24], "little")
        chunk = dir_off + 0x54 + first * chunk_size
        cases = {
            "signature": lambda d: d.__setitem__(slice(0, 4), b"ITSX"),
            "truncated": lambda d: d.__delitem__(slice(len(d) - 100, len(d))),
            "directory signature": lambda d: d.__setitem__(slice(dir_off, dir_off + 4), b"ITSQ"),
            "listing chunk signature": lambda d: d.__setitem__(slice(chunk, chunk + 4), b"PMGX"),
            "entry count": lambda d: d.__setitem__(slice(chunk + chunk_size - 2, chunk + chunk_size),
                                                   (len(good.entries) + 7).to_bytes(2, "little")),
        }
        for what, damage in cases.items():
            with self.subTest(damage=what):
                d = bytearray(self.data)
                damage(d)
                with self.assertRaises(chm.ChmError):
                    chm.Chm(bytes(d))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--chm", required=True)
    parser.add_argument("--source", required=True)
    ARGS, rest = parser.parse_known_args()
    if not os.path.isfile(ARGS.chm):
        print(f"{ARGS.chm} does not exist: the help was not built", file=sys.stderr)
        return 1
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
