#!/usr/bin/env python3
"""Checks that the code's structure runs one way: each folder includes only
from itself and the folders below it, and no two libraries link to each other;
and that the Windows program's NT flag in the engine's parameters is read
only by Windows code.

Prints each library with the libraries it links to (from the folders'
files.cmake), then every include or link that breaks the order; exits 1 when
there is one.   tools/check_layers.py [ROOT]
"""
import re
import sys
from pathlib import Path

# What each folder may include from, besides itself. Tests, tools and the
# build files are not layers.
MAY_INCLUDE = {
    "device": [],
    "device/win": ["device"],
    "device/linux": ["device"],
    "flash": ["device"],
    "emu": ["device", "device/win"],
    "framework": [],
    "res": [],
    "controls": ["framework"],
    "app": ["controls", "framework", "flash", "device", "device/win", "res"],
    "demo": ["app", "emu", "controls", "framework", "flash", "device", "device/win", "res", "cli", "cli/win"],
    "cli": ["flash", "device"],
    "cli/linux": ["cli", "flash", "device", "device/linux"],
    "cli/win": ["cli", "flash", "device", "device/win"],
    "bench": ["emu", "flash", "device", "device/linux"],
    "fuzz": ["emu", "flash", "device", "device/win", "device/linux", "cli"],
}
SOURCES = (".cpp", ".h")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
LINK = re.compile(r"target_link_libraries\(\s*(\w+)\s+((?:[^)])*)\)", re.S)


def folder_of(path, root):
    rel = path.relative_to(root).as_posix()
    for folder in sorted(MAY_INCLUDE, key=len, reverse=True):
        if rel.startswith(folder + "/"):
            return folder
    return None


def include_faults(root):
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in SOURCES or "build" in path.relative_to(root).parts:
            continue
        here = folder_of(path, root)
        if here is None:
            continue
        for target in INCLUDE.findall(path.read_text(errors="replace")):
            there = folder_of(root / target, root) if "/" in target else here
            if there is None or there == here or there in MAY_INCLUDE[here]:
                continue
            faults.append(f"{path.relative_to(root)} includes {target}: {here} may not use {there}")
    return faults


# The NT flag rides in the engine's parameters for the Windows program, which
# picks its transport by it; code that also builds for Linux has no NT to ask
# about. Windows code: folders that may include device/win, less their files
# that include nothing of the Windows side (the portable part of emu/, fuzz/).
NT_FLAG = re.compile(r"\bbIsNT\b")
NT_FLAG_DECLARED = re.compile(r"^\s*std::uint8_t\s+bIsNT\s*;")
WINDOWS_SIDE = re.compile(r'^\s*#\s*include\s+(<windows\.h>|"device/win/)', re.M)
NOT_LAYERS_BUT_PORTABLE = ("tests/portable", "tests/linux")


def is_windows_code(path, root, text):
    rel = path.relative_to(root).as_posix()
    if rel.startswith(NOT_LAYERS_BUT_PORTABLE):
        return False
    here = folder_of(path, root)
    if here is None:
        return True  # the Windows tests, the tools
    if here != "device/win" and "device/win" not in MAY_INCLUDE[here]:
        return False
    return here in ("device/win", "app", "demo") or WINDOWS_SIDE.search(text) is not None


def nt_flag_faults(root):
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in SOURCES or "build" in path.relative_to(root).parts:
            continue
        text = path.read_text(errors="replace")
        if not NT_FLAG.search(text) or is_windows_code(path, root, text):
            continue
        for number, line in enumerate(text.splitlines(), 1):
            if NT_FLAG.search(line) and not NT_FLAG_DECLARED.match(line):
                faults.append(f"{path.relative_to(root)}:{number} reads bIsNT: portable code has no NT to ask about")
    return faults


def libraries(root):
    links = {}
    for cmake in [root / "CMakeLists.txt", *sorted(root.glob("**/files.cmake")), *sorted(root.glob("*/CMakeLists.txt"))]:
        if "build" in cmake.relative_to(root).parts:
            continue
        for name, rest in LINK.findall(cmake.read_text()):
            deps = [w for w in rest.split() if w.startswith("kavora_")]
            links.setdefault(name, set()).update(deps)
    return links


def link_faults(links):
    faults = []

    def reaches(start, goal, seen):
        for dep in links.get(start, ()):
            if dep == goal or (dep not in seen and reaches(dep, goal, seen | {dep})):
                return True
        return False

    for lib, deps in sorted(links.items()):
        for dep in sorted(deps):
            if reaches(dep, lib, {dep}):
                faults.append(f"{lib} links to {dep}, which links back to {lib}")
    return faults


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
    links = libraries(root)
    print("library links:")
    for lib in sorted(links):
        print(f"  {lib:22} -> {', '.join(sorted(links[lib])) or '(none of ours)'}")
    faults = include_faults(root) + link_faults(links) + nt_flag_faults(root)
    for fault in faults:
        print("layer fault:", fault)
    if faults:
        return 1
    print("includes run downward only; no library links back to one that links to it; "
          "only Windows code reads the NT flag")
    return 0


if __name__ == "__main__":
    sys.exit(main())
