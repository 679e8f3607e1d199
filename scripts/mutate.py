#!/usr/bin/env python3
"""Mutation sample: plants source-level faults one at a time and runs the test suite on each.

    scripts/mutate.py [--build DIR] [--list FILE] [--only N,M,...] [--log FILE]

The list (scripts/mutations.txt by default) holds sections and mutants:

    [src/core/Link.cpp] tst_readers|tst_transactions
    if (!complete || !line.endsWith(CRLF)) {  ==>  if (!complete) {

A section names a file and the tests that exercise it most (a CTest regular expression). Each
mutant replaces one fragment, which must occur exactly once in the file, by another; a pilcrow
(U+00B6) in either side stands for a line break and what follows it on the next source line. For each mutant the file is changed, the build directory
rebuilt incrementally, the section's tests run and then, if they all pass, the rest of the suite;
the first failing test catches the mutant. The file is put back whatever happens. A mutant that
does not compile is reported apart and not counted.

Use a build without sanitizers for speed, e.g.
    cmake -S . -B build-mut -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
"""
import argparse
import pathlib
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
BREAK = '\u00b6'


def parse(path):
    mutants, section = [], None
    for number, raw in enumerate(path.read_text().splitlines(), 1):
        line = raw.strip()
        if not line or line.startswith('#'):
            continue
        if line.startswith('['):
            name, _, tests = line[1:].partition(']')
            section = (name.strip(), tests.strip())
            continue
        if section is None or '==>' not in line:
            sys.exit(f'{path}:{number}: expected "[file] tests" or "old ==> new"')
        old, _, new = (part.strip() for part in line.partition('==>'))
        mutants.append({'line': number, 'file': section[0], 'tests': section[1],
                        'old': old.replace(BREAK, '\n'), 'new': new.replace(BREAK, '\n')})
    return mutants


def run(command, timeout, cwd=ROOT):
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired as e:
        return 124, (e.stdout or b'').decode(errors='replace') if isinstance(e.stdout, bytes) else (e.stdout or '')


def failing_test(output):
    for line in output.splitlines():
        if '***' in line or '(Failed)' in line or '(Timeout)' in line or 'Not Run' in line:
            return line.split(' - ')[-1].strip() if ' - ' in line else line.strip()
    return 'a test'


def ctest(build, select, exclude=None):
    command = ['ctest', '--test-dir', str(build), '--stop-on-failure', '--timeout', '300', '-j2']
    if select:
        command += ['-R', select]
    if exclude:
        command += ['-E', exclude]
    code, output = run(command, 3600)
    if code == 0:
        return None
    if 'No tests were found' in output:
        return None
    return failing_test(output)


def main():
    # A kill mid-run still puts the planted file back (the finally below runs on SystemExit).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('stopped'))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--build', default=str(ROOT / 'build-mut'))
    ap.add_argument('--list', default=str(ROOT / 'scripts' / 'mutations.txt'))
    ap.add_argument('--only', default='', help='mutant numbers to run, from 1, comma separated')
    ap.add_argument('--log', default='', help='a file the results are appended to as they come')
    args = ap.parse_args()
    build = pathlib.Path(args.build).resolve()
    mutants = parse(pathlib.Path(args.list))

    stale = []
    for i, m in enumerate(mutants, 1):
        text = (ROOT / m['file']).read_text()
        if text.count(m['old']) != 1:
            stale.append(i)
            print(f'#{i} (list line {m["line"]}): fragment found {text.count(m["old"])} times in {m["file"]}')
    if stale:
        sys.exit('the list no longer fits the sources; mend it first')

    chosen = {int(n) for n in args.only.split(',') if n.strip()}
    code, output = run(['cmake', '--build', str(build)], 7200)
    if code != 0:
        sys.exit('the unchanged sources do not build:\n' + output[-3000:])
    log = open(args.log, 'a') if args.log else None
    caught, missed, stillborn = [], [], []
    started = time.time()
    for i, m in enumerate(mutants, 1):
        if chosen and i not in chosen:
            continue
        path = ROOT / m['file']
        original = path.read_text()
        t0 = time.time()
        try:
            path.write_text(original.replace(m['old'], m['new'], 1))
            code, output = run(['cmake', '--build', str(build)], 3600)
            if code != 0:
                verdict, by = 'does not compile', ''
                stillborn.append(i)
            else:
                by = ctest(build, m['tests']) if m['tests'] else None
                if by is None:
                    by = ctest(build, None, m['tests'] or None)
                verdict = 'caught' if by else 'MISSED'
                (caught if by else missed).append(i)
        finally:
            path.write_text(original)
        one_line = m['old'].replace('\n', BREAK)[:70]
        result = f'#{i} {m["file"]}: {one_line} -> {verdict} {by or ""} ({time.time() - t0:.0f} s)'
        print(result, flush=True)
        if log:
            log.write(result + '\n')
            log.flush()
    run(['cmake', '--build', str(build)], 7200)  # the build matches the sources again
    counted = len(caught) + len(missed)
    rate = 100.0 * len(caught) / counted if counted else 0.0
    summary = (f'caught {len(caught)} of {counted} ({rate:.0f} %); {len(stillborn)} did not compile; '
               f'missed: {", ".join(f"#{n}" for n in missed) or "none"}; {time.time() - started:.0f} s')
    print(summary)
    if log:
        log.write(summary + '\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
