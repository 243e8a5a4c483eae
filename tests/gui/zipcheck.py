#!/usr/bin/env python3
"""Oracle for the GUI tests: Python's zipfile makes and checks archives for the window.

    zipcheck.py RESULT check ZIP FILE...      every FILE is a member under its bare name, byte for byte
    zipcheck.py RESULT tree ZIP DIR           DIR holds exactly the archive's files, byte for byte
    zipcheck.py RESULT make ZIP NAME=SIZE...  writes an archive (names may contain '/'; SIZE 'dir' for a folder,
                                              'link' for a symbolic link to a.txt, a trailing 's' stores instead
                                              of deflating)
    zipcheck.py RESULT encrypt ZIP METHOD PASSWORD NAME=SIZE...
                                              7-Zip writes an archive whose members are encrypted with METHOD
                                              (ZipCrypto, AES256 ...) under PASSWORD; a trailing 'p' on SIZE leaves
                                              that member plain (added after the encrypted ones)
    zipcheck.py RESULT same DIR NAME=SIZE...  each file NAME under DIR holds what make and encrypt write for it

Paths are Unix paths. Writes 'OK' or the first difference to RESULT (Wine does not pass exit codes
of Unix programs back reliably)."""
import os
import subprocess
import sys
import tempfile
import zipfile


def content(name, size):
    seed = sum(name.encode('utf-8')) % 251
    return bytes((seed + i * 7) % 256 for i in range(size))


def check(zpath, files):
    with zipfile.ZipFile(zpath) as z:
        bad = z.testzip()
        if bad:
            return f'bad CRC in {bad}'
        names = z.namelist()
        for f in files:
            base = os.path.basename(f)
            if base not in names:
                return f'{base} missing from {names}'
            if z.read(base) != open(f, 'rb').read():
                return f'{base} differs'
        if len(names) != len(files):
            return f'members {names} for files {files}'
    return 'OK'


def tree(zpath, root):
    with zipfile.ZipFile(zpath) as z:
        want = {i.filename.rstrip('/'): i for i in z.infolist()}
        for name, info in want.items():
            path = os.path.join(root, *name.split('/'))
            if info.is_dir():
                if not os.path.isdir(path):
                    return f'folder {name} missing'
            elif not os.path.isfile(path) or open(path, 'rb').read() != z.read(info):
                return f'{name} missing or different'
        have = []
        for d, dirs, files in os.walk(root):
            for n in dirs + files:
                have.append(os.path.relpath(os.path.join(d, n), root).replace(os.sep, '/'))
        extra = sorted(set(have) - set(want) - {h for h in have if any(w.startswith(h + '/') for w in want)})
        if extra:
            return f'unexpected files {extra}'
    return 'OK'


def make(zpath, members):
    with zipfile.ZipFile(zpath, 'w', zipfile.ZIP_DEFLATED) as z:
        for member in members:
            name, size = member.rsplit('=', 1)
            if size == 'dir':
                z.writestr(zipfile.ZipInfo(name.rstrip('/') + '/'), b'')
            elif size == 'link':  # as Info-ZIP's zip -y stores one: Unix host, mode lrwxrwxrwx
                info = zipfile.ZipInfo(name)
                info.create_system = 3
                info.external_attr = 0o120777 << 16
                z.writestr(info, b'a.txt')
            elif size.endswith('s'):  # stored, not deflated
                z.writestr(name, content(name, int(size[:-1])), compress_type=zipfile.ZIP_STORED)
            else:
                z.writestr(name, content(name, int(size)))
    return 'OK'


def encrypt(zpath, args):
    method, password, *members = args
    with tempfile.TemporaryDirectory() as work:
        groups = ([], [])  # encrypted, plain
        for member in members:
            name, size = member.rsplit('=', 1)
            path = os.path.join(work, *name.split('/'))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, 'wb') as f:
                f.write(content(name, int(size.rstrip('p'))))
            groups[size.endswith('p')].append(name)
        for names, options in zip(groups, ([f'-p{password}', f'-mem={method}'], [])):
            if names:
                subprocess.run(['7z', 'a', '-tzip', *options, zpath, *names], cwd=work, check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return 'OK'


def same(root, members):
    for member in members:
        name, size = member.rsplit('=', 1)
        path = os.path.join(root, *name.split('/'))
        if not os.path.isfile(path) or open(path, 'rb').read() != content(name, int(size.rstrip('p'))):
            return f'{name} missing or different'
    return 'OK'


def main():
    result, mode, zpath, *rest = sys.argv[1:]
    try:
        modes = {'check': check, 'tree': tree, 'make': make, 'encrypt': encrypt, 'same': same}
        text = modes[mode](zpath, rest if mode != 'tree' else rest[0])
    except Exception as e:  # reported to the test, which fails with it
        text = f'{type(e).__name__}: {e}'
    with open(result + '.tmp', 'w') as f:
        f.write(text)
    os.replace(result + '.tmp', result)


if __name__ == '__main__':
    main()
