#!/usr/bin/env python3
"""Writes the licence texts of the third-party code linked into Parcelo's binaries, copied from
what this machine's toolchain installed (never typed by hand):

- zlib, linked into zip32.dll and unzip32.dll: the licence at the head of the zlib.h the
  Windows build compiled against;
- winpthreads of mingw-w64, linked into every binary by the posix thread model: its
  copyright and licence paragraphs from Debian's copyright file;
- bzip2, xz (liblzma), zstd and libdeflate, linked into zip32.dll and unzip32.dll, and nettle,
  linked into unzip32.dll (which decrypts): the licence file of each source package
  scripts/thirdparty built them from, with the versions it recorded.

    notices.py OUTPUT_FOLDER [--zlib-header PATH] [--mingw-copyright PATH] [--thirdparty PATH]
"""
import argparse
import os
import re
import sys
import textwrap

ZLIB_HEADER = "/usr/i686-w64-mingw32/include/zlib.h"
MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-i686-dev/copyright"
THIRDPARTY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build",
                          "thirdparty", "i686-w64-mingw32")

# The libraries scripts/thirdparty builds: bundle file, what the binaries contain, and phrases
# the licence file must hold (a different file under the expected name is refused).
# Linked into both libraries unless BINARIES names others.
LIBRARIES = {
    "bzip2": ("LICENSE-bzip2.txt", "libbz2, the library of bzip2",
              ("Julian Seward", "Redistribution and use in source and binary forms")),
    "xz": ("LICENSE-xz.txt", "liblzma, the library of XZ Utils",
           ("liblzma is in the public domain",)),
    "zstd": ("LICENSE-zstd.txt", "libzstd, the library of Zstandard",
             ("BSD License", "Redistribution and use in source and binary forms")),
    "libdeflate": ("LICENSE-libdeflate.txt", "libdeflate",
                   ("Eric Biggers", "Permission is hereby granted, free of charge")),
    "nettle": ("LICENSE-nettle.txt", "libnettle, the symmetric half of Nettle",
               ("GNU LESSER GENERAL PUBLIC LICENSE", "Version 3, 29 June 2007",
                "GNU GENERAL PUBLIC LICENSE")),
}
BINARIES = {"nettle": "unzip32.dll contains"}


def zlib_licence(header_text):
    """The opening comment of zlib.h: version line, copyright, the licence and the authors."""
    m = re.match(r"/\*\s*(.*?)\*/", header_text, re.S)
    if not m:
        raise ValueError("zlib.h does not begin with its licence comment")
    body = m.group(1)
    # The comment ends with a pointer to the format RFCs, which is not part of the licence.
    body = body.split("The data format used by the zlib library")[0]
    lines = [line[2:] if line.startswith("  ") else line for line in body.rstrip().splitlines()]
    text = "\n".join(lines).strip() + "\n"
    for needed in ("Copyright (C)", "Jean-loup Gailly", "Mark Adler",
                   "This software is provided 'as-is'",
                   "3. This notice may not be removed or altered from any source distribution."):
        if needed not in text:
            raise ValueError(f"the zlib licence lacks {needed!r}")
    return text


def debian_paragraphs(text):
    """Paragraphs of a machine-readable Debian copyright file as lists of (field, value)."""
    paragraphs = []
    for block in re.split(r"\n\s*\n", text):
        fields, current = [], None
        for line in block.splitlines():
            if line.startswith((" ", "\t")) and current is not None:
                value = line.strip()
                fields[-1] = (fields[-1][0], fields[-1][1] + "\n" + ("" if value == "." else value))
            elif ":" in line:
                key, value = line.split(":", 1)
                fields.append((key.strip(), value.strip()))
                current = key
        if fields:
            paragraphs.append(fields)
    return paragraphs


def winpthreads_licence(copyright_text):
    paragraphs = debian_paragraphs(copyright_text)
    licences = {}
    for p in paragraphs:
        d = dict(p)
        if list(d)[0] == "License" and "\n" in d["License"]:
            name, body = d["License"].split("\n", 1)
            licences[name.strip()] = body.strip()
    parts = []
    for p in paragraphs:
        d = dict(p)
        if "Files" in d and "winpthreads" in d["Files"] and "tests_pthread" not in d["Files"]:
            licence = d.get("License", "")
            name = licence.split("\n", 1)[0].strip()
            body = licence.split("\n", 1)[1].strip() if "\n" in licence else licences.get(name, "")
            if name == "public-domain":
                body = "Placed in the public domain."
            if not body:
                raise ValueError(f"no text for the licence {name!r}")
            files = " ".join(d["Files"].split())
            parts.append(f"Files: {files}\nCopyright: {d.get('Copyright', '').strip()}\n"
                         f"Licence: {name}\n\n{body}\n")
    if not parts:
        raise ValueError("the copyright file says nothing about winpthreads")
    head = ("Parcelo.exe, zip32.dll and unzip32.dll contain the winpthreads library of the\n"
            "mingw-w64 project, linked statically. Its copyright and licence terms follow.\n")
    return head + "\n" + "\n".join(parts)


def read_versions(text):
    """The versions file of scripts/thirdparty: name, upstream version, Debian source version."""
    versions = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) != 3:
            raise ValueError(f"unexpected line in the versions file: {line!r}")
        versions[parts[0]] = (parts[1], parts[2])
    return versions


def library_notice(name, versions, licence_text):
    """The bundle's notice of one library built by scripts/thirdparty, or ValueError."""
    filename, what, needed = LIBRARIES[name]
    if name not in versions:
        raise ValueError(f"no version recorded for {name}")
    upstream, debian = versions[name]
    text = licence_text.replace("\r\n", "\n").strip() + "\n"
    for phrase in needed:
        if phrase not in text:
            raise ValueError(f"the licence of {name} lacks {phrase!r}")
    binaries = BINARIES.get(name, "zip32.dll and unzip32.dll contain")
    head = textwrap.fill(f"{binaries} {what}, version {upstream}, linked "
                         f"statically, built from Debian's source package of version {debian}. "
                         f"Its licence, as that source carries it:", 78)
    return filename, head + "\n\n" + text


def thirdparty_notices(folder):
    """(file name, text) for each library of the folder scripts/thirdparty fills."""
    with open(os.path.join(folder, "versions"), encoding="utf-8") as f:
        versions = read_versions(f.read())
    notices = []
    for name in LIBRARIES:
        with open(os.path.join(folder, "licenses", name + ".txt"), encoding="utf-8") as f:
            notices.append(library_notice(name, versions, f.read()))
    return notices


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("output")
    ap.add_argument("--zlib-header", default=ZLIB_HEADER)
    ap.add_argument("--mingw-copyright", default=MINGW_COPYRIGHT)
    ap.add_argument("--thirdparty", default=THIRDPARTY)
    a = ap.parse_args()
    os.makedirs(a.output, exist_ok=True)
    with open(a.zlib_header, encoding="latin-1") as f:
        zlib = ("zip32.dll and unzip32.dll contain the zlib compression library, linked\n"
                "statically. Its licence, as published at the head of zlib.h:\n\n" + zlib_licence(f.read()))
    with open(a.mingw_copyright, encoding="utf-8") as f:
        pthreads = winpthreads_licence(f.read())
    files = [("LICENSE-zlib.txt", zlib), ("LICENSE-winpthreads.txt", pthreads)]
    files += thirdparty_notices(a.thirdparty)
    for name, text in files:
        # Windows line ends: the files are read on Windows, in Notepad as often as not.
        with open(os.path.join(a.output, name), "w", encoding="ascii", newline="\r\n") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
