#!/usr/bin/env python3
"""Which folders each folder's files may include.

Each folder is a library that links only the folders below it, so its files
may include only from those: checked here on every `#include "folder/..."`
line. A file belongs to the longest folder of the table that holds it, and
so does an included path ("ui/window" can be given its own row beside
"ui"). Folders not in the table (tests/, fuzz/, bench/) are not checked, nor
are includes of folders that are not ours.

Prints which folder includes which, then every include the table does not
allow, with its file and line; exits 1 if there is one.

Usage: layering_check.py SOURCE_DIR
"""
import os
import re
import sys

# folder: the folders its files may include (itself among them).
LAYERS = {
    "base": ["base"],
    "platform": ["platform", "base"],
    "server": ["server", "platform", "base"],
    # The client, from the bottom up: each folder on the ones below it.
    "app": ["app", "base", "platform"],
    "devices": ["devices", "app", "base", "platform"],
    "service": ["service", "devices", "app", "base", "platform"],
    "download": ["download", "service", "devices", "app", "base", "platform"],
    "backup": ["backup", "download", "service", "devices", "app", "base", "platform"],
    "ui": ["ui", "backup", "download", "service", "devices", "app", "base", "platform", "resources"],
    "cli": ["cli", "backup", "download", "service", "devices", "app", "base", "platform"],
    # The composition root: the only code outside ui/ that includes ui/.
    "program": ["program", "ui", "backup", "download", "service", "devices", "app", "base", "platform", "resources"],
}

# Every top folder of ours that an include can name.
OUR_FOLDERS = set(LAYERS) | {"resources", "tests", "fuzz", "bench"}

SOURCE_SUFFIXES = (".cpp", ".h", ".inc", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(path):
    """The longest folder of the table that holds `path`, or None."""
    best = None
    for folder in LAYERS:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def included_layer(included):
    """The folder an include names: a row of the table, or else its top folder."""
    layer = layer_of(included)
    if layer:
        return layer
    top = included.split("/", 1)[0]
    return top if "/" in included and top in OUR_FOLDERS else None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    uses = {folder: set() for folder in LAYERS}
    problems = []
    for top in sorted({folder.split("/", 1)[0] for folder in LAYERS}):
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                layer = layer_of(path)
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        target = match and included_layer(match.group(1))
                        if not target:
                            continue
                        uses[layer].add(target)
                        if target not in LAYERS[layer]:
                            problems.append(f"{path}:{number}: {layer}/ may not include {match.group(1)}"
                                            f" (allowed: {', '.join(LAYERS[layer])})")
    for layer in LAYERS:
        print(f"{layer} includes: {' '.join(sorted(uses[layer]))}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"layering: {len(problems)} include(s) against tests/layering_check.py's table")
        return 1
    print("layering: every include is allowed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
