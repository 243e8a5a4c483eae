#!/usr/bin/env python3
"""Interoperability of the engine with the standard tools, in both directions.

Archives written by us must be accepted and reproduced byte for byte by Python's zipfile,
`unzip`, `7z` and `bsdtar`; archives written by Python, Info-ZIP `zip`, `7z` and `bsdtar`
must be extracted byte for byte by us. Covered: empty files, empty folders, a 0-member
archive, 70,000 members, UTF-8 and code-page-437 names, every compression method we read
(Deflate64, bzip2, LZMA and PPMd from 7z, bzip2 and LZMA from Python, Zstandard and xz
streams from their tools); encrypted archives of 7z (ZipCrypto and AES-128, -192, -256 over
every method 7z writes) and bsdtar (zipcrypt, with data descriptors, and AES-128, -256) read
with their password, and refused with a wrong one; with --big, only the run with a member
over 4 GiB made from a sparse file (about a minute).

The engine is driven through a command-line front end: natively `ziptool`; for the Windows
libraries `dllcli.exe` run under Wine (--wine), which calls zip32.dll and unzip32.dll.
"""
import argparse
import os
import time
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile
import zlib

failures = []
# The peer tools and Wine (for the command lines it hands over) need a UTF-8 locale for
# non-ASCII names.
ENV = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return condition


def run(cmd, cwd=None, ok=(0,), what=None, wine=False):
    del wine  # one environment serves both
    p = subprocess.run(cmd, cwd=cwd, env=ENV, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    check(p.returncode in ok,
          f"{what or cmd[0]}: exit {p.returncode}\n{p.stdout.decode('utf-8', 'replace')[-2000:]}")
    return p


class Engine:
    """Our engine on the command line: ziptool natively, dllcli.exe through Wine."""

    def __init__(self, tool, wine):
        self.tool = tool
        self.wine = wine

    def path(self, p):
        return "Z:" + p.replace("/", "\\") if self.wine else p

    def command(self, *args):
        return ([self.wine, self.tool] if self.wine else [self.tool]) + list(args)

    def zip(self, archive, names, root, ok=(0,), options=("-r",)):
        return run(self.command("zip", *options, "-R", self.path(root), self.path(archive), *names),
                   ok=ok, what="our zip", wine=bool(self.wine))

    def delete(self, archive, pattern):
        return run(self.command("delete", self.path(archive), pattern), what="our delete",
                   wine=bool(self.wine))

    def unzip(self, archive, target, ok=(0,), extra=()):
        return run(self.command("unzip", *extra, "-d", self.path(target), self.path(archive)),
                   ok=ok, what="our unzip", wine=bool(self.wine))


def tree(root):
    """Maps every file to its bytes and every folder to None, by '/'-separated path."""
    out = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        if rel != ".":
            out[rel.replace(os.sep, "/") + "/"] = None
        for f in files:
            p = os.path.join(folder, f)
            with open(p, "rb") as fh:
                out[os.path.relpath(p, root).replace(os.sep, "/")] = fh.read()
    return out


def same_tree(a, b, what):
    ta, tb = tree(a), tree(b)
    if ta == tb:
        return True
    missing = sorted(set(ta) - set(tb))[:5]
    extra = sorted(set(tb) - set(ta))[:5]
    differ = sorted(k for k in set(ta) & set(tb) if ta[k] != tb[k])[:5]
    return check(False, f"{what}: trees differ; missing {missing}, extra {extra}, differ {differ}")


def make_corpus(root, ansi_only):
    rnd = random.Random(6)
    os.makedirs(os.path.join(root, "empty folder"))
    files = {
        "empty.txt": b"",
        "text.txt": b"".join(b"line %d of a text that repeats\n" % (i % 50) for i in range(8000)),
        "random.bin": bytes(rnd.getrandbits(8) for _ in range(65536)),
        "nested/deeper/file.c": b"int main(void) { return 0; }\n",
        "spaces in name.txt": b"blank",
        "caf\u00e9.txt": b"latin",
        "\u00dcn\u00efc\u00f6d\u00e9 folder/stra\u00dfe.txt": b"more latin",
    }
    if not ansi_only:
        files["\u65e5\u672c\u8a9e.txt"] = b"japanese"
        files["emoji \U0001F600.txt"] = b"astral"
    for name, data in files.items():
        p = os.path.join(root, name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)
    return sorted(os.listdir(root))


def python_matches(archive, corpus, what):
    with zipfile.ZipFile(archive) as z:
        check(z.testzip() is None, f"{what}: Python finds a bad member")
        names = set()
        for info in z.infolist():
            names.add(info.filename)
            source = os.path.join(corpus, info.filename)
            if info.is_dir():
                check(os.path.isdir(source), f"{what}: no folder {info.filename}")
            elif check(os.path.isfile(source), f"{what}: no file {info.filename}"):
                with open(source, "rb") as f:
                    check(z.read(info) == f.read(), f"{what}: {info.filename} differs in Python")
    expected = set(k for k in tree(corpus))
    check(names == expected, f"{what}: Python lists {sorted(names ^ expected)[:5]} differently")


def peers_accept(archive, corpus, work, what):
    python_matches(archive, corpus, what)
    run(["unzip", "-tqq", archive], what=f"{what}: unzip -t")
    run(["7z", "t", archive], what=f"{what}: 7z t")
    run(["bsdtar", "-tf", archive], what=f"{what}: bsdtar -t")
    for name, cmd in (("unzip", ["unzip", "-qq", archive, "-d"]),
                      ("7z", ["7z", "x", archive, "-y", "-o{}"]),
                      ("bsdtar", ["bsdtar", "-xf", archive, "-C"])):
        out = os.path.join(work, f"by-{name}")
        os.makedirs(out)
        if "{}" in cmd[-1]:
            run(cmd[:-1] + [cmd[-1].format(out)], what=f"{what}: {name} extracts")
        else:
            run(cmd + [out], what=f"{what}: {name} extracts")
        same_tree(corpus, out, f"{what}: extracted by {name}")


def peer_archives(corpus, work):
    """Archives of the corpus made by each peer tool."""
    made = {}
    p = os.path.join(work, "python.zip")
    with zipfile.ZipFile(p, "w", zipfile.ZIP_DEFLATED) as z:
        for folder, dirs, files in sorted(os.walk(corpus)):
            for d in sorted(dirs):
                z.write(os.path.join(folder, d), os.path.relpath(os.path.join(folder, d), corpus))
            for f in sorted(files):
                z.write(os.path.join(folder, f), os.path.relpath(os.path.join(folder, f), corpus))
    made["python"] = p
    p = os.path.join(work, "7z.zip")
    run(["7z", "a", "-tzip", p, "."], cwd=corpus, what="7z a")
    made["7z"] = p
    p = os.path.join(work, "bsdtar.zip")
    run(["bsdtar", "--format", "zip", "-cf", p, "."], cwd=corpus, what="bsdtar -c")
    made["bsdtar"] = p
    return made


def test_corpus(engine, base, ansi_only):
    corpus = os.path.join(base, "corpus")
    names = make_corpus(corpus, ansi_only)
    ours = os.path.join(base, "ours.zip")
    engine.zip(ours, names, corpus)
    peers_accept(ours, corpus, os.path.join(base, "check"), "corpus written by us")
    for tool, archive in peer_archives(corpus, base).items():
        out = os.path.join(base, f"ours-from-{tool}")
        engine.unzip(archive, out)
        same_tree(corpus, out, f"corpus written by {tool}, extracted by us")

    # Info-ZIP zip on Unix stores UTF-8 names without the UTF-8 flag, which readers must
    # take as code page 437; so it gets a corpus of ASCII names.
    ascii_corpus = os.path.join(base, "ascii")
    os.makedirs(os.path.join(ascii_corpus, "empty"))
    for i in range(20):
        with open(os.path.join(ascii_corpus, f"f{i}.txt"), "wb") as f:
            f.write(b"x" * (i * 997))
    p = os.path.join(base, "infozip.zip")
    run(["zip", "-qr", p, "."], cwd=ascii_corpus, what="zip -r")
    out = os.path.join(base, "ours-from-infozip")
    engine.unzip(p, out)
    same_tree(ascii_corpus, out, "written by Info-ZIP zip, extracted by us")


def test_cp437(engine, base):
    """Names stored in code page 437 without the UTF-8 flag come out as their Unicode."""
    names = {"\u00c7a\u00e7\u00e9.txt": "\u00c7a\u00e7\u00e9.txt".encode("cp437"),
             "\u00bdpi\u00f1a\u00ba/\u00e4\u00f6\u00fc.txt": "\u00bdpi\u00f1a\u00ba/\u00e4\u00f6\u00fc.txt".encode("cp437")}
    p = os.path.join(base, "cp437.zip")
    raw = bytearray()
    with zipfile.ZipFile(p, "w") as z:
        for i, (unicode_name, encoded) in enumerate(names.items()):
            placeholder = ("P%d" % i).ljust(len(encoded), "_")
            z.writestr(placeholder, unicode_name.encode("utf-8"))
    raw = bytearray(open(p, "rb").read())
    for i, (unicode_name, encoded) in enumerate(names.items()):
        placeholder = ("P%d" % i).ljust(len(encoded), "_").encode()
        check(raw.count(placeholder) == 2, "cp437 placeholder appears in both headers")
        raw = raw.replace(placeholder, encoded)
    open(p, "wb").write(bytes(raw))
    with zipfile.ZipFile(p) as z:  # Python reads them as code page 437 too
        check(sorted(i.filename for i in z.infolist()) == sorted(names), "Python reads cp437 names")
    out = os.path.join(base, "cp437-out")
    engine.unzip(p, out)
    for unicode_name in names:
        path = os.path.join(out, unicode_name)
        check(os.path.isfile(path) and open(path, "rb").read() == unicode_name.encode("utf-8"),
              f"cp437 name {unicode_name!r} extracted")


def test_empty(engine, base):
    # Ours: an archive whose only member is deleted has 0 members.
    src = os.path.join(base, "one")
    os.makedirs(src)
    open(os.path.join(src, "only.txt"), "wb").write(b"only")
    ours = os.path.join(base, "empty-ours.zip")
    engine.zip(ours, ["only.txt"], src)
    engine.delete(ours, "*")
    check(os.path.getsize(ours) == 22, "a 0-member archive is the 22-byte end record")
    with zipfile.ZipFile(ours) as z:
        check(z.infolist() == [], "Python reads 0 members")
    run(["unzip", "-tqq", ours], ok=(0, 1), what="unzip -t on the empty archive")  # 1: "empty"
    run(["7z", "t", ours], what="7z t on the empty archive")
    check(run(["bsdtar", "-tf", ours]).stdout == b"", "bsdtar lists nothing")
    # Theirs: Python's empty archive extracts to nothing.
    theirs = os.path.join(base, "empty-python.zip")
    zipfile.ZipFile(theirs, "w").close()
    out = os.path.join(base, "empty-out")
    engine.unzip(theirs, out)
    check(not os.path.exists(out) or not os.listdir(out), "nothing extracted from 0 members")


def test_many(engine, base, count):
    corpus = os.path.join(base, "many")
    for i in range(count):
        folder = os.path.join(corpus, "d%03d" % (i // 1000))
        if i % 1000 == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "f%05d.txt" % i), "w") as f:
            f.write(str(i))
    ours = os.path.join(base, "many-ours.zip")
    engine.zip(ours, sorted(os.listdir(corpus)), corpus, options=("-r", "-q", "-D"))
    with zipfile.ZipFile(ours) as z:
        infos = z.infolist()
        check(len(infos) == count, f"Python counts {len(infos)} members, not {count}")
        check(all(z.read(i) == str(int(i.filename[-9:-4])).encode() for i in infos),
              "Python reads every one of the many members")
    run(["unzip", "-tqq", ours], what="unzip -t on many members")
    run(["7z", "t", ours], what="7z t on many members")
    listed = run(["bsdtar", "-tf", ours]).stdout.count(b"\n")
    check(listed == count, f"bsdtar lists {listed} members")
    # Theirs: Python and Info-ZIP zip (both need Zip64 end records for this count).
    p = os.path.join(base, "many-python.zip")
    with zipfile.ZipFile(p, "w") as z:
        for folder, dirs, files in sorted(os.walk(corpus)):
            for f in sorted(files):
                z.write(os.path.join(folder, f), os.path.relpath(os.path.join(folder, f), corpus))
    if engine.wine:
        # Under Wine every file written costs several server round trips: test mode reads
        # and checks every member the same way, without writing 70,000 files.
        out = run(engine.command("unzip", "-t", engine.path(p)), what="our test of many members")
        check(out.stdout.count(b"   OK") == count, "we read every one of the many members")
        return
    out = os.path.join(base, "many-from-python")
    engine.unzip(p, out, extra=("-q",))
    same_tree(corpus, out, "many members written by Python, extracted by us")
    shutil.rmtree(out)
    p = os.path.join(base, "many-infozip.zip")
    run(["zip", "-qr", "-D", p, "."], cwd=corpus, what="zip -r many")
    engine.unzip(p, out, extra=("-q",))
    same_tree(corpus, out, "many members written by Info-ZIP zip, extracted by us")


def crc_of_zeros(size):
    block = bytes(1 << 24)
    crc = 0
    while size > 0:
        n = min(size, len(block))
        crc = zlib.crc32(block[:n] if n < len(block) else block, crc)
        size -= n
    return crc


def test_big(engine, base):
    """One member over 4 GiB, from a sparse file of zeros. Level 1 and one peer tester per
    direction keep it to about a minute."""
    size = (4 << 30) + (64 << 20) + 12345
    src = os.path.join(base, "big")
    os.makedirs(src)
    with open(os.path.join(src, "huge.bin"), "wb") as f:
        f.truncate(size)
    expected_crc = crc_of_zeros(size)
    ours = os.path.join(base, "big-ours.zip")
    engine.zip(ours, ["huge.bin"], src, options=("-1",))
    with zipfile.ZipFile(ours) as z:
        info = z.getinfo("huge.bin")
        check(info.file_size == size and info.CRC == expected_crc,
              "Python reads the big member's size and CRC")
        with z.open(info) as member:  # reading to the end makes zipfile check the CRC
            total = 0
            while True:
                chunk = member.read(1 << 24)
                if not chunk:
                    break
                total += len(chunk)
        check(total == size, "Python reads every byte of the big member")
    run(["unzip", "-tqq", ours], what="unzip -t on the big member")
    os.remove(ours)
    # Theirs: Info-ZIP zip writes the Zip64 member; we inflate it whole and check its size
    # and CRC (test mode: the same reading as extraction, without 4 GiB of disk writes).
    theirs = os.path.join(base, "big-infozip.zip")
    run(["zip", "-q1", theirs, "huge.bin"], cwd=src, what="zip -1 of the big file")
    os.remove(os.path.join(src, "huge.bin"))
    with zipfile.ZipFile(theirs) as z:
        check(z.getinfo("huge.bin").file_size == size, "Info-ZIP wrote the big member")
    p = run(engine.command("unzip", "-t", engine.path(theirs)), what="our test of the big member",
            wine=bool(engine.wine))
    check(b"huge.bin   OK" in p.stdout, "we read the big member whole, with a good CRC")

def methods_corpus(root):
    """Data that uses every part of each method: repeats farther back than 32 KiB and
    longer than 258 bytes (Deflate64's wider window and longer matches), noise that
    stays stored, and plain text."""
    rnd = random.Random(9)
    block = bytes(rnd.getrandbits(8) for _ in range(40000))
    files = {
        "far repeats.bin": block + b"".join(bytes([i]) * 300 + block for i in range(12)),
        "noise.bin": bytes(rnd.getrandbits(8) for _ in range(150000)),
        "text/lines.txt": b"".join(b"line %d of the sample\n" % (i * 7919 % 1000) for i in range(30000)),
        "empty.txt": b"",
    }
    for name, data in files.items():
        p = os.path.join(root, name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)
    return files


def zip_of_streams(path, members, method):
    """A Zip archive whose members hold the given compressed streams as they are."""
    import struct
    out = bytearray()
    central = bytearray()
    for name, plain, stream in members:
        n = name.encode()
        crc = zlib.crc32(plain)
        header = struct.pack("<HHHHHIIIHH", 63, 0x0800, method, 0, 0x21, crc, len(stream), len(plain), len(n), 0)
        central += b"PK\x01\x02" + struct.pack("<H", 63) + header + struct.pack("<HHHII", 0, 0, 0, 0, len(out)) + n
        out += b"PK\x03\x04" + header + n + stream
    end = struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, len(members), len(members), len(central), len(out), 0)
    with open(path, "wb") as f:
        f.write(out + central + end)


def test_methods(engine, base):
    """Every method we read, as other tools write it, extracted byte for byte."""
    corpus = os.path.join(base, "corpus")
    files = methods_corpus(corpus)
    made = {}
    for method in ("Deflate64", "BZip2", "LZMA", "PPMd"):
        p = os.path.join(base, f"7z-{method}.zip")
        run(["7z", "a", "-tzip", f"-mm={method}", p, "."], cwd=corpus, what=f"7z a -mm={method}")
        made[f"7z {method}"] = p
    for name, method in (("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)):
        p = os.path.join(base, f"python-{name}.zip")
        with zipfile.ZipFile(p, "w", method) as z:
            for member in sorted(files):
                z.write(os.path.join(corpus, member), member)
        made[f"python {name}"] = p
    for tool, method, cmd in (("zstd", 93, ["zstd", "-q", "-c", "-19"]),
                              ("xz", 95, ["xz", "-c", "--format=xz", "-6"])):
        if not check(shutil.which(tool), f"{tool} is not installed (scripts/deps installs it)"):
            continue
        members = []
        for member in sorted(files):
            stream = subprocess.run(cmd + [os.path.join(corpus, member)], check=True,
                                    stdout=subprocess.PIPE).stdout
            members.append((member, files[member], stream))
        p = os.path.join(base, f"{tool}.zip")
        zip_of_streams(p, members, method)
        made[tool] = p
    for what, archive in made.items():
        out = os.path.join(base, "out-" + what.replace(" ", "-"))
        engine.unzip(archive, out)
        same_tree(corpus, out, f"{what}, extracted by us")


def test_encrypted(engine, base):
    """Encrypted archives of 7z and bsdtar, read byte for byte with the password; a wrong one
    gets status 82 and writes nothing."""
    corpus = os.path.join(base, "corpus")
    methods_corpus(corpus)
    password = "Tr0ub4dor&3"
    made = {}
    for encryption in ("ZipCrypto", "AES128", "AES192", "AES256"):
        for method in ("Copy", "Deflate", "Deflate64", "BZip2", "LZMA", "PPMd"):
            # Under Wine, where each run starts a process of its own, every method once
            # (with AES-256) and every encryption once (with Deflate).
            if engine.wine and encryption != "AES256" and method != "Deflate":
                continue
            p = os.path.join(base, f"7z-{encryption}-{method}.zip")
            run(["7z", "a", "-tzip", f"-p{password}", f"-mem={encryption}", f"-mm={method}", p, "."],
                cwd=corpus, what=f"7z a -mem={encryption} -mm={method}")
            made[f"7z {encryption} {method}"] = p
    for encryption in ("zipcrypt", "aes128", "aes256"):
        p = os.path.join(base, f"bsdtar-{encryption}.zip")
        run(["bsdtar", "--format", "zip", "--options", f"zip:encryption={encryption}",
             "--passphrase", password, "-cf", p, "."], cwd=corpus, what=f"bsdtar {encryption}")
        made[f"bsdtar {encryption}"] = p
    with zipfile.ZipFile(made["bsdtar zipcrypt"]) as z:
        check(all(i.flag_bits & 9 == 9 for i in z.infolist() if i.file_size > 0),
              "bsdtar's zipcrypt members lack their data descriptors")
    for what, archive in made.items():
        out = os.path.join(base, "out-" + what.replace(" ", "-"))
        engine.unzip(archive, out, extra=("-P", password))
        same_tree(corpus, out, f"{what}, extracted by us")
    for what in ("7z ZipCrypto Deflate", "7z AES256 LZMA"):
        out = os.path.join(base, "wrong-" + what.replace(" ", "-"))
        p = engine.unzip(made[what], out, ok=(82,), extra=("-P", "not the password"))
        check(b"wrong password" in p.stdout, f"{what}: no word of the wrong password")
        check(not any(v is not None for v in tree(out).values()), f"{what}: a file was written")


def test_facts(engine, base):
    """Under Wine: attributes and times as Windows tools keep them, both ways. 7z reads the
    read-only bit and the NTFS times we store; we restore the ones 7z stores (-mtc=on)."""
    src = os.path.join(base, "src")
    os.makedirs(src)
    stamps = {"ro.txt": 1600000000123456700, "plain.txt": 1500000000765432100}
    for name, ns in stamps.items():
        p = os.path.join(src, name)
        with open(p, "wb") as f:
            f.write(name.encode())
        os.utime(p, ns=(ns, ns))
    os.chmod(os.path.join(src, "ro.txt"), 0o444)
    ours = os.path.join(base, "ours.zip")
    engine.zip(ours, sorted(stamps), src, options=())
    listing = run(["7z", "l", "-slt", ours], what="7z l -slt").stdout.decode()
    for name, attributes in (("ro.txt", "RA"), ("plain.txt", "A")):
        block = listing.split("Path = " + name + "\n", 1)[-1].split("\n\n", 1)[0]
        when = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(stamps[name] // 10**9))
        fraction = "%07d" % (stamps[name] % 10**9 // 100)
        check(f"Modified = {when}.{fraction}" in block, f"7z sees {name}'s time otherwise:\n{block}")
        check(f"Attributes = {attributes}\n" in block + "\n", f"7z sees {name}'s attributes otherwise:\n{block}")
    theirs = os.path.join(base, "7z.zip")
    run(["7z", "a", "-tzip", "-mtc=on", theirs, "."], cwd=src, what="7z a -mtc=on")
    out = os.path.join(base, "out")
    engine.unzip(theirs, out)
    for name, ns in stamps.items():
        check(os.stat(os.path.join(out, name)).st_mtime_ns == ns, f"{name}: 7z's time not restored")
    # Wine shows the read-only attribute as a file without write permission.
    writable = lambda name: os.stat(os.path.join(out, name)).st_mode & 0o222 != 0
    check(not writable("ro.txt"), "ro.txt: read-only not restored")
    check(writable("plain.txt"), "plain.txt: made read-only")
    for folder in (src, out):
        os.chmod(os.path.join(folder, "ro.txt"), 0o644)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True, help="ziptool, or dllcli.exe with --wine")
    parser.add_argument("--wine", help="the wine-exec script, to run a Windows front end")
    parser.add_argument("--big", action="store_true", help="only the member over 4 GiB")
    parser.add_argument("--many", type=int, default=70000)
    parser.add_argument("--only", help="run only the section of this name")
    args = parser.parse_args()
    for needed in ("unzip", "7z", "bsdtar", "zip"):
        if not shutil.which(needed):
            print(f"FAIL: {needed} is not installed (scripts/deps installs it)")
            return 1
    engine = Engine(args.tool, args.wine)
    base = tempfile.mkdtemp(prefix="pz-interop-")
    try:
        sections = (("corpus", lambda b: test_corpus(engine, b, bool(args.wine))),
                    ("cp437", lambda b: test_cp437(engine, b)),
                    ("empty", lambda b: test_empty(engine, b)),
                    ("methods", lambda b: test_methods(engine, b)),
                    ("encrypted", lambda b: test_encrypted(engine, b)),
                    ("facts", lambda b: test_facts(engine, b) if args.wine else None),
                    ("many", lambda b: test_many(engine, b, args.many)))
        if args.big:
            sections = (("big", lambda b: test_big(engine, b)),)
        if args.only:
            sections = tuple(s for s in sections if s[0] == args.only)
        for name, test in sections:
            folder = os.path.join(base, name)
            os.makedirs(folder)
            started = time.monotonic()
            test(folder)
            print(f"== {name}: {time.monotonic() - started:.1f} s", flush=True)
            shutil.rmtree(folder, ignore_errors=True)
    finally:
        shutil.rmtree(base, ignore_errors=True)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
