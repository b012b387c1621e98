#!/usr/bin/env python3
"""Fails when source folders include each other in a loop.

Reads the `#include "..."` lines of the source folders (each subfolder of engine/ counts as one
folder, a file directly in engine/ as the folder engine/; every other top-level folder counts
whole) and draws an arrow from the including folder to the folder of the included file. An
include is looked up beside the including file first, then from the repository root, as the
build's include path does; one that names no file of these folders (a system or generated
header) draws no arrow.

  check_include_cycles.py [--root DIR] [--graph]

Prints each loop found as "a -> b -> a" with one include line that makes each arrow, and exits
with 1; with --graph also prints every arrow between the engine's folders.
"""

import argparse
import os
import re
import sys

# The folders of the product and its tools whose includes are read.
SOURCE_FOLDERS = ("engine", "textlib", "platform", "setup", "updater", "devhost", "tools")
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inc")
INCLUDE_LINE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(path):
    """The folder a repository-relative path counts in, or None outside the source folders."""
    parts = path.split("/")
    if parts[0] not in SOURCE_FOLDERS:
        return None
    if parts[0] == "engine" and len(parts) > 2:
        return "engine/" + parts[1]
    return parts[0]


def source_files(root):
    for top in SOURCE_FOLDERS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")


def resolve(root, including, target):
    """The repository-relative path an include names, or None when it is no file of the tree."""
    for base in (os.path.dirname(including), ""):
        candidate = os.path.normpath(os.path.join(base, target)).replace(os.sep, "/")
        if not candidate.startswith("../") and os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def include_graph(root):
    """{from folder: {to folder: first include that makes the arrow ("file:line: text")}}."""
    graph = {}
    for path in source_files(root):
        source = folder_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as handle:
            for number, line in enumerate(handle, 1):
                match = INCLUDE_LINE.match(line)
                if not match:
                    continue
                included = resolve(root, path, match.group(1))
                target = folder_of(included) if included else None
                if target is None or target == source:
                    continue
                graph.setdefault(source, {}).setdefault(target, f"{path}:{number}: {line.strip()}")
    return graph


def strongly_connected(graph):
    """The folder groups that reach each other (Tarjan), each with more than one folder."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, {})):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    nodes = sorted(set(graph) | {t for targets in graph.values() for t in targets})
    for node in nodes:
        if node not in index:
            visit(node)
    return groups


def one_cycle(graph, group):
    """A shortest loop through the group's first folder, as a list that ends where it starts."""
    start = group[0]
    members = set(group)
    paths = {start: [start]}
    queue = [start]
    while queue:
        node = queue.pop(0)
        for nxt in sorted(graph.get(node, {})):
            if nxt not in members:
                continue
            if nxt == start:
                return paths[node] + [start]
            if nxt not in paths:
                paths[nxt] = paths[node] + [nxt]
                queue.append(nxt)
    return [start, start]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--graph", action="store_true", help="print the arrows between engine folders")
    args = parser.parse_args(argv)
    root = os.path.abspath(args.root)
    graph = include_graph(root)

    if args.graph:
        print("include arrows between engine folders:")
        for source in sorted(graph):
            if source.startswith("engine"):
                targets = [t for t in sorted(graph[source]) if t.startswith("engine")]
                if targets:
                    print(f"  {source} -> {', '.join(targets)}")

    groups = strongly_connected(graph)
    for group in groups:
        cycle = one_cycle(graph, group)
        print(f"include cycle between folders: {' -> '.join(cycle)}")
        for source, target in zip(cycle, cycle[1:]):
            print(f"  {source} -> {target}: {graph[source][target]}")
    if groups:
        return 1
    arrows = sum(len(targets) for targets in graph.values())
    folders = set(graph) | {t for targets in graph.values() for t in targets}
    print(f"include check: {len(folders)} folders, {arrows} arrows between folders, no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
