#!/usr/bin/env python3
"""Fails when a folder of src/ includes a folder above it, or when a folder that must stay free
of the operating system or the toolkit includes their headers. The layers are the rule of the
design; this check keeps the folders true to it."""
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


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2] / "src")
    problems = check(src)
    for problem in problems:
        print(problem)
    if not problems:
        print(f"layers hold in {src}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
