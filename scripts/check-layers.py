#!/usr/bin/env python3
"""Checks that the source folders keep the library graph of docs/architecture.md.

Every `#include "folder/..."` under src/ must name the including folder itself or
a folder below it in LAYERS; a folder missing from LAYERS is an error (add it,
with what it may include). With a configured build folder it also checks the
link graph that CMake writes (`cmake --graphviz`): the skin toolkit links no
library of the mouse's data or device.

    scripts/check-layers.py [BUILD_DIR]
"""
import os
import re
import subprocess
import sys
import tempfile

# folder: the folders its files may include (besides its own).
LAYERS = {
    "text": [],
    "model": ["text"],
    "macro": ["model", "text"],
    "startup": ["macro", "model", "text"],
    "device": ["macro", "model", "text"],
    "device/linux": ["device", "text"],
    "emulator": ["device", "startup", "macro", "model", "text"],
    "instance": ["startup", "model", "text"],
    "commands": ["device", "macro", "model", "startup", "text"],
    "skin": ["text"],
    "widgets": ["skin", "macro", "model", "text"],
    "device/ui": ["skin", "widgets", "device", "model", "text"],
    "macro/ui": ["skin", "widgets", "device/ui", "device", "macro", "model", "text"],
    "app": ["skin", "widgets", "instance", "startup", "macro", "model", "text"],
    "mainwnd": ["app", "macro/ui", "device/ui", "widgets", "skin", "commands", "instance", "startup",
                "device", "macro", "model", "text"],
    "programs": ["mainwnd", "app", "macro/ui", "device/ui", "widgets", "skin", "commands", "instance",
                 "emulator", "device/linux", "startup", "device", "macro", "model", "text"],
}
# Libraries the toolkit must not link, directly or through another library.
SKIN_FORBIDDEN = {"tarvik_model", "tarvik_macro", "tarvik_device", "tarvik_startup"}


def folder_of(path):
    best = None
    for f in LAYERS:
        if path == f or path.startswith(f + "/"):
            if best is None or len(f) > len(best):
                best = f
    return best


def check_includes(root):
    errors = []
    src = os.path.join(root, "src")
    for dirpath, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, src)
            own = folder_of(rel)
            if own is None:
                errors.append(f"src/{rel}: its folder is not in the layer table of {sys.argv[0]}")
                continue
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not m:
                        continue
                    target = folder_of(m.group(1))
                    if target is None or target == own or target in LAYERS[own]:
                        continue
                    errors.append(f"src/{rel}:{number}: {own} may not include {m.group(1)} ({target})")
    return errors


def check_links(build):
    with tempfile.TemporaryDirectory() as tmp:
        dot = os.path.join(tmp, "graph.dot")
        subprocess.run(["cmake", f"--graphviz={dot}", build], check=True, stdout=subprocess.DEVNULL)
        with open(dot, encoding="utf-8") as f:
            text = f.read()
    names = dict(re.findall(r'"(node\d+)" \[ label = "([^"]+)"', text))
    edges = {}
    for a, b in re.findall(r'"(node\d+)" -> "(node\d+)"', text):
        edges.setdefault(names.get(a), set()).add(names.get(b))
    if "tarvik_skin" not in edges and "tarvik_skin" not in names.values():
        return []  # no GUI in this build
    seen, todo = set(), ["tarvik_skin"]
    while todo:
        for nxt in edges.get(todo.pop(), ()):
            if nxt not in seen:
                seen.add(nxt)
                todo.append(nxt)
    return [f"tarvik_skin links {lib}" for lib in sorted(seen & SKIN_FORBIDDEN)]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    errors = check_includes(root)
    if len(sys.argv) > 1:
        errors += check_links(sys.argv[1])
    for e in errors:
        print(e, file=sys.stderr)
    if errors:
        return 1
    print(f"layers: every include of src/ runs down the graph ({len(LAYERS)} folders)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
