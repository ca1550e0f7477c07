#!/usr/bin/env python3
"""Fails when program code outside app/JsonText reads JSON with jsoncpp itself.

jsoncpp's readers throw on input nested past their depth; only the guarded
parser in app/JsonText catches that, so every other file goes through it.
Tests, benchmarks and third-party code are not the programs' code.
"""
import os
import pathlib
import re
import sys

READER = re.compile(r'#\s*include\s*<json/(reader|json)\.h>|CharReaderBuilder|parseFromStream|'
                    r'Json::Reader\b|Json::CharReader\b')
ALLOWED = {"app/JsonText.cpp"}
SKIPPED = ("tests", "bench", "third_party", "build")


def main(root):
    root = pathlib.Path(root)
    faults = []
    for folder, subfolders, files in os.walk(root):
        if pathlib.Path(folder) == root:
            subfolders[:] = [d for d in subfolders if not d.startswith(SKIPPED + (".",))]
        for name in sorted(files):
            source = pathlib.Path(folder) / name
            relative = source.relative_to(root).as_posix()
            if source.suffix not in (".h", ".cpp", ".c") or relative in ALLOWED:
                continue
            for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
                if READER.search(line):
                    faults.append(f"{relative}:{number}: reads JSON without app/JsonText: "
                                  f"{line.strip()}")
    print("\n".join(faults) if faults else "json: every reader goes through app/JsonText")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
