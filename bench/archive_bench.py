#!/usr/bin/env python3
"""Times the archive engine against zip, unzip, 7z and bsdtar, in one run, side by side.

The corpus is built from files on this machine: about 200 MB mixed (static libraries,
Windows DLLs from Wine, C headers) and a set of 20,000 small files, plus an archive of
70,000 members for listing, whose members are also packed again from files (memory grows
with the member count), and 99 files of 2 MB of headers, static libraries and DLLs, packed and
extracted, and that 2 MB set as a deflate archive of 7z, plain and encrypted with AES-256
(extracting the encrypted one may take at most 1.25 times as long; --encrypted-only runs
that job alone). Each tool does the same jobs; the table gives the best time of the
rounds, the speed relative to Info-ZIP (zip -6 for creating, unzip otherwise), archive
sizes and ratios, and each process's peak memory.

Our engine runs natively through ziptool and, under Wine, as zip32.dll/unzip32.dll through
dll_bench (the 32-bit build where this machine runs 32-bit code, else the 64-bit one). For the libraries the table gives the time of the call measured
inside the driver ("dll") and the wall time of the whole Wine process ("dll+wine"), whose
start-up is Wine's, not the library's. scripts/bench keeps Wine's server running throughout,
as the system a program starts on; each run's own Wine process start is timed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
import zipfile

MB = 1000 * 1000
MIB = 1024 * 1024
TWO_MB = 2 * MB
TWO_MB_FILES = 99


# ---- corpus --------------------------------------------------------------------------------

def files_under(roots, keep):
    found = []
    for root in roots:
        for folder, dirs, names in os.walk(root):
            dirs.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                size = os.path.getsize(path)
                if keep(path, size):
                    found.append((path, size))
    return found


def copy_set(files, dest, budget=None, count=None):
    """Copies files into dest, keeping their relative layout under '/', until the byte
    budget or the count is reached. Returns (bytes, files)."""
    total = 0
    n = 0
    taken = set()
    for path, size in files:
        if budget is not None and total + size > budget:
            continue
        # Windows takes names that differ only in case for one file: keep the first.
        key = path.lower()
        if key in taken:
            continue
        taken.add(key)
        target = os.path.join(dest, path.lstrip('/'))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)
        total += size
        n += 1
        if count is not None and n >= count:
            break
        if budget is not None and total >= budget * 0.98:
            break
    return total, n


def build_corpus(work):
    corpus = os.path.join(work, 'corpus')
    stamp = os.path.join(work, 'corpus.complete')
    if os.path.exists(stamp):
        return corpus
    shutil.rmtree(corpus, ignore_errors=True)
    large = os.path.join(corpus, 'large')
    small = os.path.join(corpus, 'small')
    print('building the corpus in', corpus, flush=True)
    libs = files_under(['/usr/lib/x86_64-linux-gnu', '/usr/lib/gcc', '/usr/x86_64-w64-mingw32/lib',
                        '/usr/i686-w64-mingw32/lib'],
                       lambda p, s: p.endswith('.a') and s >= 256 * 1024)
    dlls = files_under(['/usr/lib/x86_64-linux-gnu/wine', '/usr/lib/i386-linux-gnu/wine'],
                       lambda p, s: p.lower().endswith(('.dll', '.exe')) and s >= 256 * 1024)
    headers = files_under(['/usr/include'], lambda p, s: s >= 16 * 1024)
    copy_set(sorted(libs, key=lambda f: -f[1]), large, budget=60 * MB)
    copy_set(sorted(dlls, key=lambda f: -f[1]), large, budget=55 * MB)
    copy_set(headers, large, budget=25 * MB)
    smalls = files_under(['/usr/include', '/usr/share', '/usr/lib/python3'],
                         lambda p, s: 0 < s < 16 * 1024 and not p.endswith('.gz'))
    copy_set(smalls, small, count=20000)
    # 70,000 members for listing, written directly (empty and tiny members, as a big
    # source tree's archive lists them).
    with zipfile.ZipFile(os.path.join(work, 'list70k.zip'), 'w', zipfile.ZIP_STORED) as z:
        for i in range(70000):
            z.writestr('tree/d%03d/file%05d.c' % (i // 500, i), b'x' * (i % 7))
    # The same 70,000 members as files, for creating an archive of many members.
    with zipfile.ZipFile(os.path.join(work, 'list70k.zip')) as z:
        z.extractall(os.path.join(work, 'tree70k'))
    open(stamp, 'w').close()
    return corpus


def build_two_mb(work):
    """99 files of 2 MB, a third each of C headers, static libraries and DLLs: each kind's
    files on this machine laid end to end and cut into pieces, so that every piece is real
    data of its kind and none repeats another."""
    folder = os.path.join(work, 'two_mb')
    stamp = os.path.join(work, 'two_mb.complete')
    if os.path.exists(stamp):
        return folder
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    print('building the 2 MB set in', folder, flush=True)
    kinds = [
        ('h', files_under(['/usr/include'], lambda p, s: p.endswith('.h'))),
        ('a', files_under(['/usr/lib/x86_64-linux-gnu', '/usr/lib/gcc', '/usr/x86_64-w64-mingw32/lib',
                           '/usr/i686-w64-mingw32/lib'], lambda p, s: p.endswith('.a'))),
        ('dll', files_under(['/usr/lib/x86_64-linux-gnu/wine', '/usr/lib/i386-linux-gnu/wine'],
                            lambda p, s: p.lower().endswith('.dll'))),
    ]
    for suffix, files in kinds:
        piece = b''
        made = 0
        for path, _ in files:
            with open(path, 'rb') as f:
                piece += f.read()
            while len(piece) >= TWO_MB and made < TWO_MB_FILES // 3:
                with open(os.path.join(folder, 'piece%02d.%s' % (made, suffix)), 'wb') as out:
                    out.write(piece[:TWO_MB])
                piece = piece[TWO_MB:]
                made += 1
            if made == TWO_MB_FILES // 3:
                break
        if made < TWO_MB_FILES // 3:
            raise SystemExit('not enough .%s files on this machine for the 2 MB set' % suffix)
    open(stamp, 'w').close()
    return folder


def tree_stats(root):
    total = 0
    n = 0
    for folder, _, names in os.walk(root):
        for name in names:
            total += os.path.getsize(os.path.join(folder, name))
            n += 1
    return total, n


# ---- running -------------------------------------------------------------------------------

class Result:
    def __init__(self, seconds, peak_mib, status, inner=None):
        self.seconds = seconds
        self.peak_mib = peak_mib
        self.status = status
        self.inner = inner  # time measured inside the DLL driver


PEAK_FILE = '/tmp/pz-bench-peak-%d' % os.getpid()


def run(command, cwd=None):
    """Runs one command; returns its wall time, peak resident memory and status. GNU time
    measures the memory: a child forked from this Python process would start with its
    pages counted."""
    start = time.perf_counter()
    process = subprocess.run(['/usr/bin/time', '-f', '%M', '-o', PEAK_FILE] + command, cwd=cwd,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    seconds = time.perf_counter() - start
    inner = None
    with open(PEAK_FILE) as f:
        peak = int(f.read().split()[-1]) / 1024.0
    text = process.stdout.decode('utf-8', 'replace')
    for line in text.splitlines():
        if line.startswith('status=') and 'seconds=' in line:
            fields = dict(item.split('=') for item in line.split())
            inner = float(fields['seconds'])
            peak = float(fields['peak_mib'])
    return Result(seconds, peak, process.returncode, inner), text


def best_of(rounds, prepare, command, cwd=None, ok=(0,)):
    best = None
    for _ in range(rounds):
        prepare()
        result, text = run(command, cwd)
        if result.status not in ok:
            raise SystemExit('failed (%d): %s\n%s' % (result.status, ' '.join(command), text[-2000:]))
        if best is None or result.seconds < best.seconds:
            best = result
    return best


def clean(*paths):
    def prepare():
        for p in paths:
            if os.path.isdir(p):
                shutil.rmtree(p)
            elif os.path.exists(p):
                os.remove(p)
        # Let the file system finish removing (and discarding) before the clock starts, so
        # that no tool pays for the one before it.
        os.sync()
    return prepare


def wine_path(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


# ---- the table -----------------------------------------------------------------------------

class Table:
    def __init__(self):
        self.rows = []

    def add(self, job, tool, result, reference=None, size=None, original=None, note=''):
        self.rows.append((job, tool, result, reference, size, original, note))

    def print(self):
        header = '%-30s %-12s %9s %9s %8s %12s %7s %9s  %s' % (
            'job', 'tool', 'seconds', 'dll s', 'speed', 'archive', 'ratio', 'peak MiB', 'note')
        print(header)
        print('-' * len(header))
        for job, tool, r, reference, size, original, note in self.rows:
            seconds = r.seconds
            inner = '%9.2f' % r.inner if r.inner is not None else '%9s' % ''
            timed = r.inner if r.inner is not None else seconds
            speed = '%7.2fx' % (reference.seconds / timed) if reference else '%8s' % ''
            archive = '%12d' % size if size is not None else '%12s' % ''
            ratio = '%6.2f%%' % (100.0 * size / original) if size and original else '%7s' % ''
            if reference and r.inner is not None:
                # The whole process, Wine's start included, against the reference tool's.
                note = ('process %.2fx; ' % (reference.seconds / seconds) + note).rstrip('; ')
            print('%-30s %-12s %9.2f %s %s %s %s %9.1f  %s' % (
                job, tool, seconds, inner, speed, archive, ratio, r.peak_mib, note))


def create(table, job, folder, names, cwd, count, total, made, tool, dll, rounds):
    """Times each tool creating one archive of `names` (in `cwd`; the DLL is given `folder`),
    the tools taking turns round after round; checks every file was stored."""
    creators = [
        ('zip -6', ['zip', '-q', '-6', '-r', made] + names),
        ('ours', [tool, 'zip', '-q', '-6', '-r', made] + names),
        ('7z (deflate)', ['7z', 'a', '-tzip', '-mm=Deflate', '-mx=5', '-bd', '-bso0', made] + names),
        ('bsdtar', ['bsdtar', '--format', 'zip', '--options', 'zip:compression-level=6', '-cf',
                    made] + names),
    ]
    if dll:
        creators.append(('dll (wine)', dll + ['zip', wine_path(made), wine_path(folder), '6']))
    best = {}
    sizes = {}
    for round_ in range(rounds):
        for name, command in creators:
            print('%s: %s (round %d)' % (job, name, round_ + 1), flush=True)
            r = best_of(1, clean(made), command, cwd=cwd)
            sizes[name] = os.path.getsize(made)
            stored = len([n for n in zipfile.ZipFile(made).namelist() if not n.endswith('/')])
            if stored < count:
                raise SystemExit('%s stored %d files, expected %d' % (name, stored, count))
            if name not in best or r.seconds < best[name].seconds:
                best[name] = r
    reference = best['zip -6']
    reference_size = sizes['zip -6']
    for name, _ in creators:
        size = sizes[name]
        note = 'size %+.2f%% vs zip -6' % (100.0 * (size - reference_size) / reference_size)
        table.add(job, name, best[name], reference, size, total, note)


def extract_encrypted(table, work, two_mb, count, tool, dll, rounds):
    """The 2 MB set as one deflate archive made by 7z, plain and encrypted with AES-256:
    extracting the encrypted one may take at most 1.25 times as long (ours natively and the
    DLL under Wine). The same compressor makes both, so only the encryption differs."""
    password = 'bench password'
    archives = {}
    for label, extra in (('plain', []), ('AES-256', ['-mem=AES256', '-p' + password])):
        archive = os.path.join(work, 'twomb-%s.zip' % label.lower())
        if not os.path.exists(archive):
            subprocess.run(['7z', 'a', '-tzip', '-mm=Deflate', '-mx=5', '-bd', '-bso0'] + extra +
                           [archive, '.'], cwd=two_mb, check=True)
        archives[label] = archive
    out = os.path.join(work, 'out-encrypted')
    tools = [('ours', lambda a, d, p: [tool, 'unzip', '-q', '-d', d] + (['-P', p] if p else []) + [a])]
    if dll:
        tools.append(('dll (wine)', lambda a, d, p: dll + ['unzip', wine_path(a), wine_path(d)] +
                      ([p] if p else [])))
    clean(out)()
    best = {}
    for round_ in range(rounds):
        for name, command in tools:
            for label, archive in archives.items():
                print('extracting the 2 MB set, %s: %s (round %d)' % (label, name, round_ + 1),
                      flush=True)
                dest = os.path.join(out, '%s-%s-%d' % (name.split()[0], label, round_))
                os.makedirs(dest)
                os.sync()
                r = best_of(1, lambda: None,
                            command(archive, dest, password if label != 'plain' else None))
                if tree_stats(dest)[1] != count:
                    raise SystemExit('%s extracted %d files of %s, expected %d'
                                     % (name, tree_stats(dest)[1], label, count))
                key = (name, label)
                if key not in best or r.seconds < best[key].seconds:
                    best[key] = r
    for name, _ in tools:
        plain, encrypted = best[(name, 'plain')], best[(name, 'AES-256')]
        table.add('extract 2 MB, 7z deflate', name, plain, None, os.path.getsize(archives['plain']))
        table.add('extract 2 MB, AES-256', name, encrypted, None,
                  os.path.getsize(archives['AES-256']),
                  note='%.2f x the plain one (at most 1.25)' % (
                      (encrypted.inner or encrypted.seconds) / (plain.inner or plain.seconds)))
    clean(out)()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--work', required=True, help='folder for the corpus and the archives')
    parser.add_argument('--ziptool', required=True, help='the native engine front end')
    parser.add_argument('--dll-bench', help='dll_bench.exe of the 64-bit Windows build')
    parser.add_argument('--wine-exec', help='scripts/wine-exec')
    parser.add_argument('--rounds', type=int, default=3)
    parser.add_argument('--encrypted-only', action='store_true',
                        help='only the 2 MB set, plain against AES-256')
    args = parser.parse_args()

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    if args.encrypted_only:
        table = Table()
        two_mb = build_two_mb(work)
        dll = None
        if args.dll_bench and args.wine_exec:
            dll = [os.path.abspath(args.wine_exec), os.path.abspath(args.dll_bench)]
        extract_encrypted(table, work, two_mb, tree_stats(two_mb)[1], os.path.abspath(args.ziptool),
                          dll, args.rounds)
        table.print()
        return 0
    corpus = build_corpus(work)
    two_mb = build_two_mb(work)
    two_total, two_count = tree_stats(two_mb)
    small = os.path.join(corpus, 'small')
    large = os.path.join(corpus, 'large')
    out = os.path.join(work, 'out')
    total, count = tree_stats(corpus)
    small_total, small_count = tree_stats(small)
    large_total, large_count = tree_stats(large)
    print('corpus: %.1f MB in %d files (small set: %d files, %.1f MB; large set: %d files, %.1f MB)'
          % (total / MB, count, small_count, small_total / MB, large_count, large_total / MB))
    print('2 MB set: %d files, %.1f MB' % (two_count, two_total / MB))
    print('cores: %d' % os.cpu_count(), flush=True)
    table = Table()
    rounds = args.rounds
    tool = os.path.abspath(args.ziptool)
    dll = None
    if args.dll_bench and args.wine_exec:
        dll = [os.path.abspath(args.wine_exec), os.path.abspath(args.dll_bench)]
        # Start Wine once so that its first-run work is not timed.
        run(dll + ['list', wine_path(os.path.join(work, 'list70k.zip'))])

    # Creating: the whole corpus, then the 99 files of 2 MB, level 6 everywhere.
    made = os.path.join(work, 'made.zip')
    create(table, 'create %.0f MB, %d files' % (total / MB, count), corpus, ['large', 'small'],
           corpus, count, total, made, tool, dll, rounds)
    create(table, 'create 99 files of 2 MB', two_mb, ['.'], two_mb, two_count, two_total, made,
           tool, dll, rounds)

    # Creating an archive of 70,000 tiny members: memory grows with the member count (the
    # central directory is written last), not with the bytes.
    tree70k = os.path.join(work, 'tree70k')
    if not os.path.isdir(tree70k):
        with zipfile.ZipFile(os.path.join(work, 'list70k.zip')) as z:
            z.extractall(tree70k)
    many = [
        ('zip -6', ['zip', '-q', '-6', '-r', made, 'tree']),
        ('ours', [tool, 'zip', '-q', '-6', '-r', made, 'tree']),
    ]
    if dll:
        many.append(('dll (wine)', dll + ['zip', wine_path(made), wine_path(tree70k), '6']))
    best = {}
    for round_ in range(rounds):
        for name, command in many:
            print('creating 70,000 members: %s (round %d)' % (name, round_ + 1), flush=True)
            r = best_of(1, clean(made), command, cwd=tree70k)
            if name not in best or r.seconds < best[name].seconds:
                best[name] = r
    for name, _ in many:
        table.add('create 70,000 members', name, best[name], best['zip -6'])

    # Extracting archives made by zip -6: the small set, then the large one.
    for label, base, folder, n in (('small', corpus, 'small', small_count),
                                   ('large', corpus, 'large', large_count),
                                   ('2 MB', two_mb, '.', two_count)):
        archive = os.path.join(work, label.replace(' ', '') + '.zip')
        if not os.path.exists(archive):
            subprocess.run(['zip', '-q', '-6', '-r', archive, folder], cwd=base, check=True)
        # Each run extracts into a folder of its own, never used before: removing 20,000
        # files keeps the file system busy long after rm returns, and whoever ran next
        # would pay for it. The tools take turns, round after round, so that drifts in the
        # machine's load fall on all of them alike.
        def extractors(dest):
            tools = [
                ('unzip', ['unzip', '-q', '-o', archive, '-d', dest]),
                ('ours', [tool, 'unzip', '-q', '-d', dest, archive]),
                ('7z', ['7z', 'x', '-y', '-bd', '-bso0', '-o' + dest, archive]),
                ('bsdtar', ['bsdtar', '-xf', archive, '-C', dest]),
            ]
            if dll:
                tools.append(('dll (wine)', dll + ['unzip', wine_path(archive), wine_path(dest)]))
            return tools
        clean(out)()
        best = {}
        for round_ in range(rounds):
            for k, (name, _) in enumerate(extractors('')):
                print('extracting %s: %s (round %d)' % (label, name, round_ + 1), flush=True)
                dest = os.path.join(out, '%s-%d-%d' % (label.replace(' ', ''), k, round_))
                os.makedirs(dest)
                os.sync()
                r = best_of(1, lambda: None, extractors(dest)[k][1])
                got_total, got_count = tree_stats(dest)
                if got_count != n:
                    raise SystemExit('%s extracted %d files, expected %d' % (name, got_count, n))
                if name not in best or r.seconds < best[name].seconds:
                    best[name] = r
        reference = best['unzip']
        for name, _ in extractors(''):
            table.add('extract %s (%d files)' % (label, n), name, best[name], reference,
                      os.path.getsize(archive))
        clean(out)()
        time.sleep(5)

    extract_encrypted(table, work, two_mb, two_count, tool, dll, rounds)

    # Listing 70,000 members.
    listing = os.path.join(work, 'list70k.zip')
    listers = [
        ('unzip -l', ['unzip', '-l', listing]),
        ('ours', [tool, 'unzip', '-l', listing]),
        ('7z l', ['7z', 'l', listing]),
        ('bsdtar -t', ['bsdtar', '-tf', listing]),
    ]
    if dll:
        listers.append(('dll (wine)', dll + ['list', wine_path(listing)]))
    reference = None
    for name, command in listers:
        print('listing:', name, flush=True)
        r = best_of(max(rounds, 3), lambda: None, command)
        if name == 'unzip -l':
            reference = r
        table.add('list 70,000 members', name, r, reference, os.path.getsize(listing))

    print()
    print('seconds: best of %d rounds, wall time of the process; dll s: the library call alone,' % rounds)
    print('timed inside the driver (the rest is the Wine process starting, with Wine\'s server')
    print('kept running); speed: the reference tool\'s')
    print('time divided by the tool\'s (for the DLL, by the call\'s; "process" in the note')
    print('divides by the whole Wine process\'s); ratio: archive size /')
    print('corpus size; peak: resident memory of the process (for the DLL the whole Wine')
    print('process, Wine\'s own memory included)')
    print()
    table.print()
    clean(made)()


if __name__ == '__main__':
    sys.exit(main())
