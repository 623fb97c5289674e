#!/usr/bin/env python3
"""Fails when an engine file includes a header of a layer above its own (or of a sibling layer),
when engine code includes test support code, or when Cairo or Qt appear outside their places.

    scripts/check-layers.py [ROOT]

LAYERS lists the layers lowest first; layers in one entry are siblings and may not include
each other. engine/kestrel.* is the facade, the top layer.
"""
import os
import re
import sys

LAYERS = [["syntax"], ["access"], ["graphics"], ["fonts", "images"], ["render"], ["output"],
          ["kestrel"]]
RANK = {name: rank for rank, names in enumerate(LAYERS) for name in names}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')
# Headers only one folder may include.
CONFINED = [(re.compile(r"^cairo"), "engine/output/raster/"), (re.compile(r"^Q[A-Za-z]+$|^Qt"), "app/")]


def layer_of(path):
    parts = path.split("/")
    return "kestrel" if len(parts) == 2 else parts[1]


def problems(root):
    found = []
    for folder, _, names in os.walk(os.path.join(root, "engine")):
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            full = os.path.join(folder, name)
            path = os.path.relpath(full, root).replace(os.sep, "/")
            own = layer_of(path)
            if own not in RANK:
                found.append(f"{path}: folder engine/{own}/ is not a layer")
                continue
            with open(full, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    header = m.group(1)
                    where = f"{path}:{number}: {header}"
                    if header.startswith("support/") or header.startswith("tests/"):
                        found.append(f"{where}: engine code includes test support code")
                    for pattern, place in CONFINED:
                        if pattern.search(header) and not path.startswith(place):
                            found.append(f"{where}: only {place} may include it")
                    if not header.startswith("engine/"):
                        continue
                    target = layer_of(header)
                    if target not in RANK:
                        found.append(f"{where}: unknown layer")
                    elif target != own and RANK[target] >= RANK[own]:
                        found.append(f"{where}: layer {own} includes layer {target}, "
                                     f"which is {'beside' if RANK[target] == RANK[own] else 'above'} it")
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    found = problems(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the engine layers "
              "(syntax <- access <- graphics <- fonts, images <- render <- output <- kestrel)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
