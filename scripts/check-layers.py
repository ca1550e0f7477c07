#!/usr/bin/env python3
"""Fails when a folder of the program includes a header from a folder above it.

The layers, lowest first; a folder may include its own headers and those of
any lower layer. The most specific folder prefix decides a file's layer.
"""
import pathlib
import re
import sys

LAYERS = [
    ["platform/sys"],
    ["platform/ui", "platform/web"],
    ["app"],
    ["cloud"],
    ["jobs"],
    ["jobs/view"],
    ["history"],
    ["account"],
    ["companion"],
    ["skin"],
    ["notices"],
    ["pages", "account/windows"],
    ["shell"],
    ["tools"],
    ["pdf"],
    ["cli"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    best = None
    for folder in RANK:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def main(root):
    root = pathlib.Path(root)
    faults = []
    for folder in {f.split("/")[0] for f in RANK}:
        for source in (root / folder).rglob("*"):
            if source.suffix not in (".h", ".cpp", ".c"):
                continue
            own = layer_of(source.relative_to(root).as_posix())
            for header in INCLUDE.findall(source.read_text(encoding="utf-8")):
                target = layer_of(header)
                if target is not None and RANK[target] > RANK[own]:
                    faults.append(f"{source.relative_to(root)}: includes {header} from a higher layer")
    print("\n".join(faults) if faults else "layers: every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
