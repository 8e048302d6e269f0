#!/usr/bin/env python3
"""Counts the test cases of tools/test's passes: the Google Test reports of each program, and CTest's
own report for a program that wrote none (a script, or one that crashed before writing it).
  results.py DIR [--before LINE] PASS... [-- NAME=PATTERN...]
Each NAME=PATTERN after -- is a pass that could not run here, counted as skipped with as many cases
of the x64 pass as match the pattern (all where it is empty). Prints one line per pass, LINE, then
the total; exits 1 where any case failed or a pass left no report."""
import fnmatch
import os
import sys
import xml.etree.ElementTree as ElementTree


def gtest_cases(folder):
    """(full name, outcome) of every case in the Google Test reports of FOLDER, by program."""
    programs = {}
    if not os.path.isdir(folder):
        return programs
    for name in sorted(os.listdir(folder)):
        if not name.endswith('.xml'):
            continue
        try:
            tree = ElementTree.parse(os.path.join(folder, name))
        except ElementTree.ParseError:
            continue
        cases = []
        for case in tree.iter('testcase'):
            full = '%s.%s' % (case.get('classname', ''), case.get('name', ''))
            if case.find('failure') is not None or case.find('error') is not None:
                outcome = 'failed'
            elif case.get('result') in ('skipped', 'suppressed') or case.get('status') == 'notrun' \
                    or case.find('skipped') is not None:
                outcome = 'skipped'
            else:
                outcome = 'passed'
            cases.append((full, outcome))
        programs[name[:-len('.xml')]] = cases
    return programs


def ctest_programs(junit):
    """(program, outcome) of each test in CTest's JUnit report."""
    if not os.path.exists(junit):
        return None
    programs = []
    for case in ElementTree.parse(junit).iter('testcase'):
        status = case.get('status', '')
        if case.find('failure') is not None or status == 'fail':
            outcome = 'failed'
        elif case.find('skipped') is not None or status in ('notrun', 'disabled'):
            outcome = 'skipped'
        else:
            outcome = 'passed'
        programs.append((case.get('name'), outcome))
    return programs


def tools_cases(path):
    cases = []
    if os.path.exists(path):
        for line in open(path, encoding='utf-8', errors='replace'):
            if line.startswith('PASS: '):
                cases.append((line[6:].strip(), 'passed'))
            elif line.startswith('FAIL: ') or line.startswith('FAILED '):
                cases.append((line.split(' ', 1)[1].strip(), 'failed'))
    return cases


def pass_cases(folder, name):
    if name == 'tools':
        return tools_cases(os.path.join(folder, 'tools.txt'))
    reports = gtest_cases(os.path.join(folder, name))
    programs = ctest_programs(os.path.join(folder, name + '.junit.xml'))
    if programs is None:
        return [(name, 'failed')]
    cases = []
    for program, outcome in programs:
        mine = reports.get(program)
        if mine:
            cases.extend(mine)
            # A program that failed with every case passed (a crash at its end, a time-out).
            if outcome == 'failed' and all(o != 'failed' for _, o in mine):
                cases.append((program, 'failed'))
        else:
            cases.append((program, outcome))
    return cases


def main():
    args = sys.argv[1:]
    folder = args.pop(0)
    before = None
    if args[:1] == ['--before']:
        before = args[1]
        args = args[2:]
    skipped = []
    if '--' in args:
        at = args.index('--')
        skipped = args[at + 1:]
        args = args[:at]
    totals = {'passed': 0, 'failed': 0, 'skipped': 0}
    lines = []
    x64 = None
    for name in args:
        cases = pass_cases(folder, name)
        if name == 'x64':
            x64 = cases
        counts = {key: sum(1 for _, o in cases if o == key) for key in totals}
        for key in totals:
            totals[key] += counts[key]
        lines.append('test: %s: %d passed, %d failed, %d skipped' % (name, counts['passed'], counts['failed'], counts['skipped']))
        for case, outcome in cases:
            if outcome == 'failed':
                lines.append('test: %s: failed: %s' % (name, case))
    for entry in skipped:
        name, _, pattern = entry.partition('=')
        count = sum(1 for case, _ in (x64 or []) if not pattern or fnmatch.fnmatchcase(case, pattern))
        totals['skipped'] += count
        lines.append('test: %s: 0 passed, 0 failed, %d skipped' % (name, count))
    for line in lines:
        print(line)
    if before:
        print(before)
    print('%d passed, %d failed, %d skipped' % (totals['passed'], totals['failed'], totals['skipped']))
    return 1 if totals['failed'] else 0


sys.exit(main())
