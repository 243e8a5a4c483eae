#!/usr/bin/env python3
"""Checks a release bundle with Python's zipfile: every member reads back with a good CRC,
the members are exactly the expected files under their bare names, and each is byte for byte
the staged file it was made from.

    check_bundle.py BUNDLE.zip STAGE_FOLDER NAME...
"""
import os
import sys
import zipfile


def check(bundle, stage, names):
    problems = []
    with zipfile.ZipFile(bundle) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append(f"{bad}: CRC or data error")
        listed = [i.filename for i in z.infolist()]
        if sorted(listed) != sorted(names):
            problems.append(f"members are {sorted(listed)}, expected {sorted(names)}")
        if len(set(listed)) != len(listed):
            problems.append("a member is stored twice")
        for info in z.infolist():
            if info.filename not in names:
                continue
            with open(os.path.join(stage, info.filename), "rb") as f:
                want = f.read()
            if z.read(info) != want:
                problems.append(f"{info.filename} differs from the staged file")
            if info.flag_bits & 1:
                problems.append(f"{info.filename} is encrypted")
            if info.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
                problems.append(f"{info.filename} uses method {info.compress_type}")
    return problems


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    problems = check(sys.argv[1], sys.argv[2], sys.argv[3:])
    for p in problems:
        print(f"{sys.argv[1]}: {p}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
