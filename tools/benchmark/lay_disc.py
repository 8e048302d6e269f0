#!/usr/bin/python3
"""Lays the benchmark's disc: Setup.exe, the standard type's files with archives summing to a given
size, and the volume label; the content and the list come from tools/make-disc."""

import argparse
import os
import shutil
import sys
import types

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MIB = 1 << 20


def make_disc_module():
    """tools/make-disc as a module: its list reader, its archive writer and its label."""
    path = os.path.join(ROOT, "tools", "make-disc")
    module = types.ModuleType("make_disc")
    module.__file__ = path
    with open(path, encoding="utf-8") as source:
        exec(compile(source.read(), path, "exec"), module.__dict__)
    return module


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder", help="folder to lay the disc in (made empty first)")
    parser.add_argument("--bin", required=True, help="where Setup.exe, Uninstaller.exe and VT.exe are")
    parser.add_argument("--mib", type=int, required=True, help="MiB of the standard type's files in all")
    args = parser.parse_args()

    disc = make_disc_module()
    names = disc.file_lists()["IDS_FILES_STANDARD"]
    archives = [n for n in names if n not in disc.PROGRAMS]
    if os.path.isdir(args.folder):
        shutil.rmtree(args.folder)
    os.makedirs(args.folder)
    for program in ("Setup.exe",) + disc.PROGRAMS:
        shutil.copyfile(os.path.join(args.bin, program), os.path.join(args.folder, program))
    programs = sum(os.path.getsize(os.path.join(args.folder, p)) for p in disc.PROGRAMS)
    budget = args.mib * MIB - programs
    if budget < len(archives) * MIB:
        sys.exit("lay_disc: %d MiB leaves less than 1 MiB per archive" % args.mib)
    # Uneven sizes, as on the sample discs; the last archive takes what is left.
    step = 4099
    each = budget // len(archives) - step * (len(archives) + 1) // 2
    left = budget
    for index, name in enumerate(archives):
        size = left if index == len(archives) - 1 else each + step * (index + 1)
        disc.write_archive(os.path.join(args.folder, name), size)
        left -= size
    with open(os.path.join(args.folder, ".windows-label"), "w") as label:
        label.write(disc.LABEL + "\n")
    print(",".join(names))


if __name__ == "__main__":
    main()
