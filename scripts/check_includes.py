#!/usr/bin/env python3
"""Checks the includes between the folders of src/ against src/include_rules.txt.

check_includes.py [SRC]       checks SRC (default: the project's src/); exit 1 on a violation.
check_includes.py --rows      also proves that the check fails: each row of FORBIDDEN adds one
                              include to a copy of src/ and must be refused.
"""
import pathlib
import re
import shutil
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
PLATFORM_FOLDERS = ("win", "posix")


def read_rules(path):
    """Folder -> allowed folders; "<folder> shared" -> the root headers its subfolders may use."""
    rules = {}
    for number, line in enumerate(path.read_text().splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, sep, allowed = line.partition(":")
        if not sep:
            raise SystemExit(f"{path}:{number}: expected '<folder>: <folders>'")
        rules.setdefault(" ".join(folder.split()), []).extend(allowed.split())
    return rules


def folders(rules):
    return [name for name in rules if not name.endswith(" shared")]


def folder_of(relative, rules):
    """The listed folder a path below src/ belongs to (its win/ and posix/ parts left out)."""
    parts = [p for p in pathlib.PurePosixPath(relative).parent.parts if p not in PLATFORM_FOLDERS]
    for length in range(len(parts), 0, -1):
        candidate = "/".join(parts[:length])
        if candidate in folders(rules):
            return candidate
    return None


def is_parent(folder, other):
    return folder.startswith(other + "/")


def circle_in(rules):
    """A circle among the allowed includes ('*' and upward uses of a parent left out), or None."""
    edges = {f: [t for t in rules[f] if t != "*" and not is_parent(f, t)] for f in folders(rules)}
    state = {}

    def visit(folder, trail):
        state[folder] = "open"
        for target in edges.get(folder, []):
            if state.get(target) == "open":
                return trail + [folder, target]
            if target not in state:
                found = visit(target, trail + [folder])
                if found:
                    return found
        state[folder] = "done"
        return None

    for folder in edges:
        if folder not in state:
            found = visit(folder, [])
            if found:
                return found
    return None


def violations(src, rules):
    found = []
    circle = circle_in(rules)
    if circle:
        found.append("the rules form a circle: " + " -> ".join(circle))
    for name in folders(rules):
        for target in rules[name]:
            if target != "*" and target not in folders(rules):
                found.append(f"the rules of {name} name {target}, which is not listed")
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(src).as_posix()
        own = folder_of(relative, rules)
        if own is None:
            found.append(f"{relative}: its folder is not listed in the include rules")
            continue
        allowed = rules[own]
        for included in INCLUDE.findall(path.read_text(errors="replace")):
            if not (src / included).exists():
                continue  # a generated or relative header of the folder itself
            target = folder_of(included, rules)
            if target is None:
                found.append(f"{relative}: includes {included}, whose folder is not listed")
            elif target != own and "*" not in allowed and target not in allowed:
                found.append(f"{relative}: {own} may not include {included} ({target})")
            elif is_parent(own, target) and f"{target} shared" in rules:
                if pathlib.PurePosixPath(included).name not in rules[f"{target} shared"]:
                    found.append(f"{relative}: {own} may use only the shared headers of {target}, not {included}")
    return found


# Each row: a file below src/ and an include added to it; every row must be refused.
FORBIDDEN = [
    ("frame/bstr.h", "mail/mail_core.h"),                   # the frame knows no feature
    ("paths/path_text.h", "fileinfo/display_texts.h"),      # the shared layer knows no feature
    ("fileinfo/display_texts.h", "fileops/mail_link.h"),    # a feature includes another feature
    ("fileops/mail_link.h", "filesysinfo/win/file_sys_info.h"),  # a subject includes its class
    ("writer/win/file_writer.h", "server/class_table.h"),   # nothing includes the composition root
    ("mail/tls/tls_engine.h", "mail/session/mail_session.h"),  # a lower mail layer includes a higher one
    ("mail/message/wire_text.h", "mail/mail_core.h"),       # and the core
]


def check_rows(src, rules_path):
    passed = failed = 0
    for file, include in FORBIDDEN:
        with tempfile.TemporaryDirectory() as work:
            copy = pathlib.Path(work) / "src"
            shutil.copytree(src, copy)
            target = copy / file
            target.write_text(f'#include "{include}"\n' + target.read_text())
            refused = any(include in v for v in violations(copy, read_rules(rules_path)))
        print(("ok" if refused else "not ok") + f" - {file} including {include} is refused")
        passed, failed = (passed + 1, failed) if refused else (passed, failed + 1)
    return passed, failed


def main():
    args = [a for a in sys.argv[1:] if a != "--rows"]
    src = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parents[1] / "src")
    rules_path = src / "include_rules.txt"
    found = violations(src, read_rules(rules_path))
    for line in found:
        print("not ok - " + line)
    passed, failed = (1, 0) if not found else (0, 1)
    print(("ok" if not found else "not ok") + f" - every include of {src} follows the rules")
    if "--rows" in sys.argv:
        p, f = check_rows(src, rules_path)
        passed, failed = passed + p, failed + f
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
