#!/usr/bin/env python3
"""Reads the version resource of a Windows program or library (PE32 or PE32+) without
Windows: the fixed file version and the StringFileInfo texts.

    peversion.py FILE...                     prints each file's machine, versions and texts
    peversion.py --expect 2.0.0 --name Parcelo [--machine i386] FILE...
                                             checks them; exit status 1 on any mismatch
"""
import argparse
import os
import struct
import sys

RT_VERSION = 16
MACHINES = {0x14C: "i386", 0x8664: "x86-64"}


class PeError(Exception):
    pass


def _u16(d, o):
    if o + 2 > len(d):
        raise PeError("read past the end of the file")
    return struct.unpack_from("<H", d, o)[0]


def _u32(d, o):
    if o + 4 > len(d):
        raise PeError("read past the end of the file")
    return struct.unpack_from("<I", d, o)[0]


class PeImage:
    def __init__(self, data: bytes):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = _u32(data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe + 4
        self.machine = _u16(data, coff)
        sections = _u16(data, coff + 2)
        opt_size = _u16(data, coff + 16)
        opt = coff + 20
        magic = _u16(data, opt)
        if magic == 0x10B:
            dirs = opt + 96
        elif magic == 0x20B:
            dirs = opt + 112
        else:
            raise PeError(f"unknown optional header {magic:#x}")
        count = _u32(data, dirs - 4)
        self.resource_rva = _u32(data, dirs + 2 * 8) if count > 2 else 0
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr, rawsize))

    def offset(self, rva):
        for vaddr, vsize, rawptr, rawsize in self.sections:
            if vaddr <= rva < vaddr + vsize:
                if rva - vaddr >= rawsize:
                    raise PeError(f"RVA {rva:#x} lies in uninitialised data")
                return rawptr + rva - vaddr
        raise PeError(f"RVA {rva:#x} lies in no section")

    def resource(self, type_id):
        """The bytes of the first resource of the type (first name, first language)."""
        if not self.resource_rva:
            raise PeError("no resources")
        root = self.offset(self.resource_rva)

        def first_entry(directory, wanted=None):
            named, ids = _u16(self.data, directory + 12), _u16(self.data, directory + 14)
            for i in range(named + ids):
                e = directory + 16 + 8 * i
                name, target = _u32(self.data, e), _u32(self.data, e + 4)
                if wanted is None or (not name & 0x80000000 and name == wanted):
                    return target
            return None

        node = first_entry(root, type_id)
        if node is None:
            raise PeError(f"no resource of type {type_id}")
        for _ in range(2):  # name, then language
            if not node & 0x80000000:
                raise PeError("resource tree too shallow")
            node = first_entry(root + (node & 0x7FFFFFFF))
            if node is None:
                raise PeError("empty resource directory")
        if node & 0x80000000:
            raise PeError("resource tree too deep")
        leaf = root + node
        rva, size = _u32(self.data, leaf), _u32(self.data, leaf + 4)
        start = self.offset(rva)
        if start + size > len(self.data):
            raise PeError("resource data runs past the end of the file")
        return self.data[start:start + size]


def _block(d, off):
    """One version-information block: (key, value bytes, is_text, children, end)."""
    length, value_len, vtype = struct.unpack_from("<HHH", d, off)
    if length < 6 or off + length > len(d):
        raise PeError("version block runs past its parent")
    end = off + length
    p = off + 6
    key_end = p
    while key_end + 2 <= end and d[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = d[p:key_end].decode("utf-16-le")
    p = (key_end + 2 + 3) & ~3
    size = value_len * 2 if vtype == 1 else value_len
    value = d[p:p + size]
    p = (p + size + 3) & ~3
    children = []
    while p + 6 <= end:
        child = _block(d, p)
        children.append(child)
        p = (child[4] + 3) & ~3
    return key, value, vtype == 1, children, end


def version_info(path):
    with open(path, "rb") as f:
        image = PeImage(f.read())
    raw = image.resource(RT_VERSION)
    key, value, _, children, _ = _block(raw, 0)
    if key != "VS_VERSION_INFO" or len(value) < 52:
        raise PeError("not a VS_VERSION_INFO block")
    sig, _, fms, fls, pms, pls = struct.unpack_from("<IIIIII", value, 0)
    if sig != 0xFEEF04BD:
        raise PeError("fixed file information has the wrong signature")
    info = {
        "machine": MACHINES.get(image.machine, hex(image.machine)),
        "file_version": (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF),
        "product_version": (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF),
        "strings": {},
    }
    for ckey, _, _, tables, _ in children:
        if ckey != "StringFileInfo":
            continue
        for _, _, _, strings, _ in tables:
            for skey, svalue, _, _, _ in strings:
                info["strings"][skey] = svalue.decode("utf-16-le").rstrip("\0")
    return info


def problems(info, expect, name, machine, filename=None):
    """What is wrong with a file's version information, as sentences."""
    out = []
    if filename and info["strings"].get("OriginalFilename", "").lower() != filename.lower():
        out.append(f"OriginalFilename is {info['strings'].get('OriginalFilename')!r}, not {filename!r}")
    want = tuple(int(x) for x in expect.split(".")) + (0,) * (4 - len(expect.split(".")))
    for field in ("file_version", "product_version"):
        if info[field] != want:
            out.append(f"{field} is {'.'.join(map(str, info[field]))}, not {expect}")
    for field in ("FileVersion", "ProductVersion"):
        if info["strings"].get(field) != expect:
            out.append(f"{field} text is {info['strings'].get(field)!r}, not {expect!r}")
    if info["strings"].get("ProductName") != name:
        out.append(f"ProductName is {info['strings'].get('ProductName')!r}, not {name!r}")
    if machine and info["machine"] != machine:
        out.append(f"built for {info['machine']}, not {machine}")
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--expect")
    ap.add_argument("--name", default="Parcelo")
    ap.add_argument("--machine")
    ap.add_argument("files", nargs="+")
    a = ap.parse_args()
    failed = False
    for path in a.files:
        try:
            info = version_info(path)
        except (OSError, PeError, struct.error, UnicodeDecodeError) as e:
            print(f"{path}: {e}")
            failed = True
            continue
        if a.expect:
            wrong = problems(info, a.expect, a.name, a.machine, os.path.basename(path))
            for w in wrong:
                print(f"{path}: {w}")
            failed |= bool(wrong)
            if not wrong:
                print(f"{path}: {info['machine']}, {info['strings'].get('ProductName')} {a.expect}, "
                      f"{info['strings'].get('FileDescription')!r}")
        else:
            print(path, info)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
