#!/usr/bin/env python3
"""Fails when a source includes a header of a higher floor.

Folders are floors. A file may include headers of its own folder and of any folder on a lower
floor; folders on the same floor (siblings) do not include each other, so no two folders can
depend on each other. An include of a folder that is not in the table is an error too, so a
new folder must be given its floor here.
"""
import os
import re
import sys

FLOORS = {
    "core": 0,      # state types, strings, numbers, units, texts, progress, seam, files, folders
    "settings": 1,  # key table and settings layer, snapshots, recent files, languages
    "model": 2,     # printer models, media identities, paper sizes and margins
    "image": 3,     # loading, probes, colour, orientation, separation, placement, crop
    "pattern": 3,   # pattern masks, shape library, Illustrator import
    "job": 4,       # job writers, media features, tiling, proof
    "printer": 5,   # spooler
    "netutil": 6,   # discovery, SNMP
    "actions": 7,   # the user actions and start-up
    "gui": 8,       # windows and dialogs
    "cli": 8,       # printconv-cli
}

INCLUDE = re.compile(r'\s*#\s*include\s+"([A-Za-z0-9_]+)/[A-Za-z0-9_./]+"')


def check(root):
    bad = []
    for folder, floor in sorted(FLOORS.items()):
        top = os.path.join(root, folder)
        if not os.path.isdir(top):
            continue
        for name in sorted(os.listdir(top)):
            if not name.endswith((".h", ".cpp", ".inc")):
                continue
            rel = folder + "/" + name
            with open(os.path.join(top, name), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if target == folder:
                        continue
                    if target not in FLOORS:
                        bad.append(f"{rel}:{number}: includes from {target}/, a folder without a floor")
                    elif FLOORS[target] >= floor:
                        what = "a sibling on the same floor" if FLOORS[target] == floor else "a higher floor"
                        bad.append(f"{rel}:{number}: includes {target}/ from {what}")
    return bad


def main(root):
    bad = check(root)
    for b in bad:
        print(b)
    print(f"{len(bad)} includes against the floors")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
