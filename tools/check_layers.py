#!/usr/bin/env python3
"""Fails when a core source includes a header of a higher layer.

Layers, bottom up: the shared types of app/ (state, seam, texts, strings, numbers, progress,
tone curves, folders, files and temporary folders), settings/, the printer model and media tables, image/ and pattern/,
job/, printer/, netutil/, then the user actions and start-up in app/, then the windows and
the command-line tool. A file may include its own layer and any layer below it.
"""
import os
import re
import sys

BASE = {"app_state.h", "ui.h", "ui.cpp", "texts.h", "texts.cpp", "strings.h", "numbers.h",
        "progress.h", "tone_curves.h", "tone_curves.cpp", "folders.h", "folders.cpp",
        "no_widgets.h", "builtin_texts.inc", "files.h", "files.cpp", "temp_folders.h",
        "temp_folders.cpp"}


def layer(path):
    folder, name = path.split("/", 1) if "/" in path else ("", path)
    if folder == "app":
        if name in BASE:
            return 0
        if re.search(r"_(window|dialog|editor|main)\.(cpp|h)$", name):
            return 9
        return 8
    if folder == "settings":
        return 1
    if folder == "printer" and name.split(".")[0] in ("models", "media"):
        return 2
    if folder in ("image", "pattern"):
        return 3
    if folder == "job":
        return 4
    if folder == "printer":
        return 5
    if folder == "netutil":
        return 6
    if folder == "cli":
        return 9
    return None


def main(root):
    bad = []
    for folder in ("app", "settings", "image", "job", "printer", "netutil", "pattern", "cli"):
        if not os.path.isdir(os.path.join(root, folder)):
            continue
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith((".h", ".cpp")):
                continue
            rel = folder + "/" + name
            own = layer(rel)
            with open(os.path.join(root, rel), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = re.match(r'\s*#\s*include\s+"([a-z_]+/[A-Za-z0-9_.]+)"', line)
                    if not m:
                        continue
                    target = layer(m.group(1))
                    if target is not None and own is not None and target > own:
                        bad.append(f"{rel}:{number}: includes {m.group(1)} from a higher layer")
    for b in bad:
        print(b)
    print(f"{len(bad)} upward includes")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
