#!/usr/bin/env python3
"""Checks the one-way order of the GPS control's modules.

The order is the order of add_subdirectory() in gpscontrol/CMakeLists.txt. A
file of a module may include its own module's headers and those of modules
before it, nothing after it and nothing of Qt. Every problem is printed; the
exit status is 1 when there is any.
"""

import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def module_order(root):
    text = (root / "gpscontrol" / "CMakeLists.txt").read_text()
    return re.findall(r"^\s*add_subdirectory\((\w+)\)", text, re.MULTILINE)


def problems(root):
    order = module_order(root)
    if not order:
        yield "gpscontrol/CMakeLists.txt names no module"
        return
    rank = {name: i for i, name in enumerate(order)}
    for folder in sorted((root / "gpscontrol").iterdir()):
        if not folder.is_dir():
            continue
        if folder.name not in rank:
            yield f"gpscontrol/{folder.name}/ is not in the module order"
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            where = path.relative_to(root)
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                bracket, target = m.groups()
                if bracket == "<":
                    if target.startswith("Q"):
                        yield f"{where}:{number}: the GPS control includes Qt: {target}"
                    continue
                module = target.split("/", 1)[0] if "/" in target else None
                if module not in rank:
                    yield f"{where}:{number}: {target} belongs to no module"
                elif rank[module] > rank[folder.name]:
                    yield (f"{where}:{number}: {folder.name} includes {target}, "
                           f"but {module} comes after {folder.name}")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(problems(root))
    for p in found:
        print(p)
    if found:
        print(f"{len(found)} include(s) against the module order "
              f"({' -> '.join(module_order(root))})")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
