#!/usr/bin/env python3
r"""Writes peer-zips-oracle.tsv: what Python's zipfile reads from each peer archive.

One line per member: file, member name (as zipfile decodes it: UTF-8 with flag bit 11,
code page 437 otherwise; backslashes and control characters written as \\ and \xNN),
then either "dir", or the size and CRC-32 of the bytes zipfile extracts, or "error".
PPMd members (method 98), which zipfile does not read, are read with 7-Zip instead.
An archive zipfile cannot open gets one line with the name "*". Encrypted members of the
archives whose password the upstream tests give (PASSWORDS) are read with it: traditional
ones by zipfile, WinZip AES ones (which zipfile does not read) by `7z x -so`.
Run it again when the peer archives change; the test reads only the result.
"""
import os
import subprocess
import sys
import zipfile
import zlib

here = os.path.dirname(os.path.abspath(__file__))
folder = os.path.join(here, "..", "..", "..", "shared", "testdata", "peer-zips")
if len(sys.argv) > 1:
    folder = sys.argv[1]


# The passwords the upstream test suites use for their encrypted archives.
PASSWORDS = {
    "libarchive/bsdunzip_test_encrypted.zip": "password",
    "libarchive/test_read_format_zip_encryption_partially.zip": "12345678",
    "libarchive/test_read_format_zip_traditional_encryption_data.zip": "12345678",
    "libarchive/test_read_format_zip_winzip_aes128.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_large.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_large_bzip2.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_large_lzma.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_large_ppmd.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_large_xz.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_large_zstd.zip": "password",
    "libarchive/test_read_format_zip_winzip_aes256_stored.zip": "password",
    "libzip/encrypt-1234.zip": "1234",
    "libzip/encrypt-aes128.zip": "foofoofoo",
    "libzip/encrypt-aes192.zip": "foofoofoo",
    "libzip/encrypt-aes256.zip": "foofoofoo",
    "libzip/encrypt.zip": "foo",
    "libzip/encrypt_plus_extra.zip": "foo",
}


def read_member(z, info, archive, password):
    if not password or not info.flag_bits & 1:
        return z.read(info)
    if info.compress_type != 99:
        return z.read(info, pwd=password.encode())
    p = subprocess.run(["7z", "x", "-so", f"-p{password}", archive, info.filename],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if p.returncode != 0:
        raise ValueError("7z cannot read it")
    return p.stdout


def escape(name):
    out = []
    for c in name:
        if c == "\\":
            out.append("\\\\")
        elif ord(c) < 0x20 or c == "\x7f":
            out.append("\\x%02x" % ord(c))
        else:
            out.append(c)
    return "".join(out)


rows = []
with open(os.path.join(folder, "MANIFEST.tsv"), encoding="utf-8") as manifest:
    next(manifest)
    for line in manifest:
        origin, name = line.split("\t")[:2]
        path = f"{origin}/{name}"
        try:
            with zipfile.ZipFile(os.path.join(folder, path)) as z:
                for info in z.infolist():
                    shown = escape(info.filename)
                    if info.is_dir():
                        rows.append((path, shown, "dir", ""))
                        continue
                    try:
                        data = read_member(z, info, os.path.join(folder, path),
                                           PASSWORDS.get(path))
                        rows.append((path, shown, str(len(data)), "%08x" % zlib.crc32(data)))
                    except Exception:
                        data = None
                        if info.compress_type == 98 and not info.flag_bits & 1:
                            run = subprocess.run(["7z", "x", "-so", os.path.join(folder, path),
                                                  info.filename], capture_output=True)
                            data = run.stdout if run.returncode == 0 else None
                        if data is None:
                            rows.append((path, shown, "error", ""))
                        else:
                            rows.append((path, shown, str(len(data)), "%08x" % zlib.crc32(data)))
        except Exception:
            rows.append((path, "*", "error", ""))

out = os.path.join(here, "peer-zips-oracle.tsv")
with open(out, "w", encoding="utf-8", newline="\n") as f:
    for row in rows:
        f.write("\t".join(row) + "\n")
print(f"{len(rows)} lines written to {out}")
