#!/usr/bin/env python3
"""Fails when a folder of src/ includes a folder above it, when a folder that must stay free of
the operating system or the toolkit includes their headers, or (given the build's target map,
<build>/layers/targets.json) when a target includes a header of a library it does not link. The
layers are the rule of the design; this check keeps the folders and the targets true to it."""
import collections
import json
import pathlib
import re
import sys

# Which folders each folder may include (besides itself and the public header).
ALLOWED = {
    "platform": set(),
    "messages": {"platform"},
    "engine": set(),
    "api": {"engine", "platform"},
    "convert": {"engine", "messages", "platform"},
    "security": {"engine", "messages", "platform"},
    "settings": {"convert", "engine", "messages", "platform"},
    "run": {"settings", "convert", "security", "api", "engine", "messages", "platform"},
    "cli": {"settings", "convert", "engine", "messages", "platform"},
    "ui": {"settings", "convert", "api", "engine", "messages", "platform"},
    "app": {"ui", "cli", "run", "settings", "convert", "security", "api", "engine", "messages", "platform"},
}
# Folders that reach the system only through the platform interface; ui's own files (not its
# toolkit folders) stay free of any toolkit.
SYSTEM_HEADER = re.compile(r"<(unistd\.h|fcntl\.h|dlfcn\.h|pthread\.h|signal\.h|sys/[^>]*|windows\.h|Q[A-Za-z]*)>")
NO_SYSTEM = {"engine", "messages", "convert", "security", "settings", "run", "cli", "api", "ui"}
TOOLKIT_FOLDERS = {("ui", "qt"), ("ui", "win32")}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"][^>"]+[>"])', re.M)


def check(src: pathlib.Path) -> list[str]:
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in {".h", ".cpp", ".c"}:
            continue
        parts = path.relative_to(src).parts
        folder = parts[0]
        if folder not in ALLOWED:
            problems.append(f"{path}: folder {folder!r} has no place in the layers")
            continue
        in_toolkit = len(parts) > 2 and (folder, parts[1]) in TOOLKIT_FOLDERS
        for match in INCLUDE.finditer(path.read_text(encoding="utf-8")):
            target = match.group(1)
            if target.startswith('"'):
                included = target.strip('"').split("/")[0]
                if "/" in target and included in ALLOWED and included != folder and included not in ALLOWED[folder]:
                    problems.append(f"{path}: {folder} includes {target}, a layer it may not use")
            elif folder in NO_SYSTEM and not in_toolkit and SYSTEM_HEADER.match(target):
                problems.append(f"{path}: {folder} includes {target}; only platform/ (or a toolkit folder) may")
    return problems


def link_problems(src: pathlib.Path, target_map: pathlib.Path) -> list[str]:
    """Each target's own files may include a header of the project only from a library that the
    target is, or links directly or through the libraries it links."""
    targets = json.loads(target_map.read_text(encoding="utf-8"))
    roots = [src, src.parent / "tests"]

    def files_of(target: dict) -> list[pathlib.Path]:
        folder = pathlib.Path(target["folder"])
        paths = []
        for source in target["sources"]:
            if "$<" in source:
                continue
            path = pathlib.Path(source)
            paths.append((path if path.is_absolute() else folder / path).resolve())
        return paths

    owners = collections.defaultdict(set)  # a folder and the targets with sources in it
    for name, target in targets.items():
        for path in files_of(target):
            owners[path.parent].add(name)
    for name, target in targets.items():  # a library of headers alone owns its folder
        if not files_of(target):
            owners[pathlib.Path(target["folder"]).resolve()].add(name)

    def direct(name: str) -> set[str]:
        names = set()
        for entry in targets[name]["links"]:
            names.update(token for token in re.findall(r"[\w:.+-]+", entry) if token in targets)
        return names

    def closure(name: str) -> set[str]:
        seen, todo = {name}, [name]
        while todo:
            for dep in direct(todo.pop()):
                if dep not in seen:
                    seen.add(dep)
                    todo.append(dep)
        return seen

    problems = []
    for name, target in sorted(targets.items()):
        own = files_of(target)
        folders = {path.parent for path in own}
        # The target's headers: those of its folders that no other library's sources share.
        own += [h for folder in folders for h in folder.glob("*.h") if owners[folder] <= {name} | closure(name)]
        reach = closure(name)
        for path in sorted(set(own)):
            if not path.exists() or path.suffix not in {".h", ".cpp", ".c"}:
                continue
            for match in INCLUDE.finditer(path.read_text(encoding="utf-8")):
                target_text = match.group(1)
                if not target_text.startswith('"') or "/" not in target_text:
                    continue
                for root in roots:
                    header = (root / target_text.strip('"')).resolve()
                    if header.exists():
                        break
                else:
                    continue
                libraries = owners.get(header.parent, set())
                if libraries and not libraries & reach:
                    problems.append(f"{path}: target {name} includes {target_text} of {', '.join(sorted(libraries))}, "
                                    f"which it does not link")
    return problems


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2] / "src")
    problems = check(src)
    if len(sys.argv) > 2:
        problems += link_problems(src.resolve(), pathlib.Path(sys.argv[2]))
    for problem in problems:
        print(problem)
    if not problems:
        print(f"layers hold in {src}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
