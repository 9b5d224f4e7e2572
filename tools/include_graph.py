#!/usr/bin/env python3
"""Prints the include graph of the engine sources by folder.

The folders form layers: platform/ at the bottom, then board/, eval/, the
search level (search/, book/ and tablebases/ side by side) and interface/ on
top. A file may include headers of its own folder and of the folders below
it. The script lists every include that points from a lower layer to a
higher one and every cycle between folders, and exits with status 1 if there
is any. tests/ and tools/ sit outside the layers and are not read.

With --below FOLDER only the folders of the layers below FOLDER's are held
to it (a way to check the lower layers alone while an upper one is being
reworked); the graph is printed whole all the same.

Usage: tools/include_graph.py [--root DIR] [--below FOLDER] [--quiet]
"""

import argparse
import os
import re
import sys
from collections import defaultdict

LAYER = {
    "platform": 0,
    "board": 1,
    "eval": 2,
    "search": 3,
    "book": 3,
    "tablebases": 3,
    "interface": 4,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_includes(root):
    """Returns a list of (file, line number, included header) over every
    source file of the layered folders; paths relative to root."""
    found = []
    for folder in sorted(LAYER):
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".cpp", ".h")):
                continue
            rel = folder + "/" + name
            with open(os.path.join(root, rel), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if match:
                        header = match.group(1)
                        if "/" not in header:  # same folder, written bare
                            header = folder + "/" + header
                        found.append((rel, number, header))
    return found


def folder_of(path):
    return path.split("/", 1)[0]


def folder_cycles(edges):
    """Returns the strongly connected sets of two or more folders (Tarjan)."""
    index, low, stack, on_stack, sets = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for succ in sorted(edges[node]):
            if succ not in index:
                visit(succ)
                low[node] = min(low[node], low[succ])
            elif succ in on_stack:
                low[node] = min(low[node], index[succ])
        if low[node] == index[node]:
            members = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                members.append(top)
                if top == node:
                    break
            if len(members) > 1:
                sets.append(sorted(members))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return sets


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(
        os.path.abspath(__file__)), ".."))
    parser.add_argument("--below", choices=sorted(LAYER),
                        help="hold only the layers below this folder's")
    parser.add_argument("--quiet", action="store_true",
                        help="print only the faults")
    args = parser.parse_args()
    ceiling = LAYER[args.below] if args.below else len(LAYER)

    includes = read_includes(args.root)
    counts = defaultdict(int)
    edges = defaultdict(set)
    upward = []
    for source, number, header in includes:
        src, dst = folder_of(source), folder_of(header)
        if dst not in LAYER:
            continue
        if src != dst:
            counts[(src, dst)] += 1
            edges[src].add(dst)
            edges[dst]
        if LAYER[dst] > LAYER[src] and LAYER[src] < ceiling:
            upward.append((source, number, header))

    if not args.quiet:
        print("includes between folders (layer: folder -> folder count):")
        for (src, dst), count in sorted(
                counts.items(), key=lambda kv: (LAYER[kv[0][0]], kv[0])):
            print(f"  {LAYER[src]}: {src:<10} -> {dst:<10} {count}")

    cycles = [members for members in folder_cycles(edges)
              if any(LAYER[folder] < ceiling for folder in members)]
    for source, number, header in upward:
        print(f"upward include: {source}:{number} includes {header}")
    for members in cycles:
        print("folder cycle: " + " <-> ".join(members))
    if upward or cycles:
        print(f"{len(upward)} upward includes, {len(cycles)} folder cycles")
        return 1
    if not args.quiet:
        print("no upward include, no folder cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
