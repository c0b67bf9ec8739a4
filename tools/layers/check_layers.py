#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer it may not use.

The layers, lowest first, and what each may include (besides itself). A folder not listed here
(tests, benchmarks, fuzzers, tools) may include anything. Run from anywhere:
    tools/layers/check_layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

QT_FREE = {"platform", "engine", "store", "provisioning", "resources", "controls"}
# Layers with Qt Core (and Gui) but no widgets: the command-line client runs without a display.
NO_WIDGETS = {"cli"}
WIDGETS = re.compile(r"(QtWidgets|QApplication|QWidget|QDialog|QMessageBox|QMainWindow|QLabel|QLineEdit)(/|$)")

# layer -> layers it may include
ALLOWED = {
    "platform": set(),
    "engine": {"platform"},
    "store": {"engine", "platform"},
    "provisioning": {"engine", "platform", "resources"},
    "resources": set(),
    "controls": {"resources"},
    "qr": {"engine", "platform"},
    "ui": {"controls", "resources", "store", "engine", "platform", "qr"},
    "app": None,  # the top: everything
    "cli": {"qr", "store", "engine", "platform", "resources", "provisioning"},
}
PAGE_GROUP_MAY_USE = {"ui", "controls", "resources", "store", "provisioning", "engine", "platform", "qr"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)


def layer_of(rel: pathlib.PurePosixPath):
    parts = rel.parts
    if not parts:
        return None
    if parts[0] == "pages" and len(parts) > 2:
        return "pages/" + parts[1]
    if parts[0] in ALLOWED:
        return parts[0]
    return None


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        rel = pathlib.PurePosixPath(path.relative_to(root).as_posix())
        if rel.parts[0].startswith("build"):
            continue
        layer = layer_of(rel)
        if layer is None:
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            kind, target = match.groups()
            line = text.count("\n", 0, match.start()) + 1
            if kind == "<":
                if layer.split("/")[0] in QT_FREE and re.match(r"Q[A-Za-z]*(/|$)", target):
                    faults.append(f"{rel}:{line}: {layer} must stay free of Qt, includes <{target}>")
                if layer in NO_WIDGETS and WIDGETS.match(target):
                    faults.append(f"{rel}:{line}: {layer} must stay free of Qt Widgets, includes <{target}>")
                continue
            used = layer_of(pathlib.PurePosixPath(target))
            if used is None or used == layer:
                continue
            if layer.startswith("pages/"):
                ok = used in PAGE_GROUP_MAY_USE
            else:
                allowed = ALLOWED[layer]
                ok = allowed is None or used in allowed
            if not ok:
                faults.append(f"{rel}:{line}: {layer} may not include {target} (layer {used})")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) cross the layers; see docs/architecture.md")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
