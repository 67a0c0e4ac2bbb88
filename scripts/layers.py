#!/usr/bin/env python3
"""Keeps the folders of the code to the layers docs/layers.txt allows.

    scripts/layers.py                          check every include; exit 1 naming each fault
    scripts/layers.py --table                  print the folder table of the real includes
    scripts/layers.py --update docs/architecture.md
                                               write that table into the architecture page

The check reads every #include "folder/..." (and every Qt header) of every source and header,
and fails on an include of a folder the table does not allow, on one of our headers written
with angle brackets or climbing with "..", forms that would slip past the rest of the check, on a listed edge that no file
uses any more (the table must stay the map), on a source in a folder the table does not list,
and on an architecture page whose folder table is not what --table prints.
"""
import argparse
import os
import re
import sys
from collections import defaultdict

LAYERS = "docs/layers.txt"
ARCHITECTURE = "docs/architecture.md"
SOURCE_ENDINGS = (".cpp", ".h", ".hpp", ".cc")
QT = "Qt"
QUOTED_INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')
QT_INCLUDE = re.compile(r"\s*#\s*include\s+<Q[A-Za-z]")
ANGLED_INCLUDE = re.compile(r"\s*#\s*include\s+<([^>]+)>")
TABLE_ROW = re.compile(r"^\| `([^`]+)/` \| (.*) \| (.*) \|$")
UNDESCRIBED = "(not described yet)"


def read_layers(root):
    """Returns the folders bottom-up, each with the set it may include."""
    layers = {}
    faults = []
    with open(os.path.join(root, LAYERS), encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            folder, _, uses = line.partition(":")
            folder = folder.strip().rstrip("/")
            allowed = set(uses.split())
            for used in allowed - {QT}:
                if used not in layers:
                    faults.append(f"{LAYERS}:{number}: {folder} uses {used}, which is not "
                                  "listed above it (the layers must not form a cycle)")
            layers[folder] = allowed
    return layers, faults


def folder_of(path, layers):
    """The listed folder holding PATH (the longest listed prefix), or None."""
    parts = path.split("/")
    for length in range(len(parts) - 1, 0, -1):
        candidate = "/".join(parts[:length])
        if candidate in layers:
            return candidate
    return None


def reach(folder, layers):
    """Every folder FOLDER includes directly or through others, and Qt if any of them may."""
    seen = set()
    pending = [folder]
    while pending:
        for used in layers.get(pending.pop(), ()):
            if used not in seen:
                seen.add(used)
                pending.append(used)
    return seen


def sources(root):
    for directory, subdirectories, files in os.walk(root):
        # Hidden folders and build trees hold no sources of ours.
        subdirectories[:] = sorted(
            d for d in subdirectories
            if not d.startswith((".", "build"))
            and not os.path.exists(os.path.join(directory, d, "CMakeCache.txt")))
        for name in sorted(files):
            if name.endswith(SOURCE_ENDINGS):
                yield os.path.relpath(os.path.join(directory, name), root).replace(os.sep, "/")


def includes(root, path, top_folders):
    """Yields (line number, folder-qualified include or QT, fault or None) of one file."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
        for number, line in enumerate(source, 1):
            quoted = QUOTED_INCLUDE.match(line)
            angled = ANGLED_INCLUDE.match(line)
            if quoted and ".." in quoted.group(1).split("/"):
                yield number, quoted.group(1), "climbs out of its folder with \"..\"; write it from the source root"
            elif quoted and "/" in quoted.group(1):
                yield number, quoted.group(1), None
            elif QT_INCLUDE.match(line):
                yield number, QT, None
            elif angled and angled.group(1).split("/")[0] in top_folders:
                yield number, angled.group(1), "names our header in angle brackets; write it in quotes"


def scan(root, layers):
    """Returns the faults and the real edges (folder -> set of folders and Qt)."""
    faults = []
    edges = defaultdict(set)
    top_folders = {entry for entry in os.listdir(root) if os.path.isdir(os.path.join(root, entry))}
    for path in sources(root):
        under_test = path.startswith("tests/")
        owner = folder_of(path[len("tests/"):] if under_test else path, layers)
        if owner is None:
            if not under_test or path.count("/") > 1:
                faults.append(f"{path}: its folder is not listed in {LAYERS}")
            continue
        if under_test:
            # A test may use any folder to check its own; only the toolkit stays out of the
            # tests of toolkit-free folders, which the build without Qt must still compile.
            allowed = set(layers) | ({QT} & (reach(owner, layers) | layers[owner]))
        else:
            allowed = layers[owner]
        for number, included, form_fault in includes(root, path, top_folders):
            if form_fault:
                faults.append(f"{path}:{number}: \"{included}\" {form_fault}")
                continue
            if included == QT:
                target = QT
            elif included.startswith("tests/"):
                if under_test:
                    continue
                target = "tests"
            else:
                target = folder_of(included, layers)
                if target is None:
                    if included.split("/")[0] in top_folders:
                        faults.append(f"{path}:{number}: includes \"{included}\", "
                                      f"whose folder is not listed in {LAYERS}")
                    continue
            if target == owner:
                continue
            if target not in allowed:
                who = f"tests of {owner}" if under_test else owner
                faults.append(f"{path}:{number}: {who} may not include {target} "
                              f"(\"{included}\"); {LAYERS} allows "
                              f"{', '.join(sorted(allowed)) or 'nothing'}")
            elif not under_test:
                edges[owner].add(target)
    for folder, allowed in layers.items():
        for unused in sorted(allowed - edges[folder]):
            faults.append(f"{LAYERS}: {folder} no longer includes {unused}: "
                          "take it off that line")
    return faults, edges


def read_owns(page):
    """The Owns column of the architecture page's folder table, by folder."""
    owns = {}
    for line in page.splitlines():
        row = TABLE_ROW.match(line)
        if row:
            owns[row.group(1)] = row.group(2)
    return owns


def table(layers, edges, owns):
    def named(folder):
        return QT if folder == QT else f"`{folder}/`"
    order = list(layers) + [QT]
    rows = ["| Folder | Owns | Uses |", "| --- | --- | --- |"]
    for folder in layers:
        uses = sorted(edges[folder], key=order.index)
        rows.append(f"| {named(folder)} | {owns.get(folder, UNDESCRIBED)} | "
                    f"{', '.join(named(u) for u in uses) or 'nothing'} |")
    return "\n".join(rows)


def replace_table(page, new_table):
    """PAGE with its first folder table (the lines from "| Folder |" on) replaced."""
    lines = page.split("\n")
    start = next((i for i, line in enumerate(lines) if line.startswith("| Folder |")), None)
    if start is None:
        return None
    end = start
    while end < len(lines) and lines[end].startswith("|"):
        end += 1
    return "\n".join(lines[:start] + [new_table] + lines[end:])


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        help="the source tree (default: the one holding this script)")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--table", action="store_true", help="print the folder table")
    mode.add_argument("--update", metavar="PAGE", help="write the folder table into PAGE")
    arguments = parser.parse_args(argv)
    root = arguments.root

    layers, faults = read_layers(root)
    scan_faults, edges = scan(root, layers)
    faults += scan_faults
    page_path = os.path.join(root, arguments.update or ARCHITECTURE)
    with open(page_path, encoding="utf-8") as page_file:
        page = page_file.read()
    generated = table(layers, edges, read_owns(page))

    if arguments.table:
        print(generated)
        return 0
    if arguments.update:
        updated = replace_table(page, generated)
        if updated is None:
            print(f"{arguments.update}: no table starting with \"| Folder |\"", file=sys.stderr)
            return 1
        with open(page_path, "w", encoding="utf-8") as page_file:
            page_file.write(updated)
        for fault in faults:
            print(fault, file=sys.stderr)
        return 1 if faults else 0

    if replace_table(page, generated) != page:
        faults.append(f"{ARCHITECTURE}: its folder table is not the real one: run "
                      f"python3 scripts/layers.py --update {ARCHITECTURE}")
    for fault in faults:
        print(fault, file=sys.stderr)
    if not faults:
        print(f"{len(layers)} folders keep to their layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
