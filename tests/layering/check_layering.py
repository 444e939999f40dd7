#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Checks that the libraries under src/ are layered as their links say.

For every library and program built from src/ it compares the headers its
files include with the libraries it links:
  - it links every library whose headers it includes, and no other;
  - PUBLIC exactly those its own public headers include, PRIVATE the rest;
  - no file includes another library's internal/ header;
  - nothing below the toolkit (the core, the page painter, the command
    line) includes a Qt Widgets header;
  - the libraries' includes form no cycle.

The links come from a file that CMake writes at configure time, one target a
line: NAME|LINK_LIBRARIES|INTERFACE_LINK_LIBRARIES (lists ';'-separated).

  check_layering.py --source-dir DIR --links FILE [--qt TARGET=INCLUDE_DIR]...
  check_layering.py --self-test
"""
import argparse
import os
import re
import sys
import tempfile

# Folder under src/ -> target built from it. The longest matching folder wins.
FOLDERS = {
    "util": "ostrel_util",
    "data": "ostrel_data",
    "colour": "ostrel_colour",
    "imageio": "ostrel_imageio",
    "engine": "ostrel_engine",
    "detect": "ostrel_detect",
    "toolkit/printing": "ostrel_printing",
    "toolkit": "ostrel_toolkit",
    "shell/main": "ostrel",
    "shell": "ostrel_shell",
    "cli/printmodule": "ostrel-print",
    "cli": "ostrel-cli",
}
# Programs: what they link is never passed on, so all of it counts as private.
PROGRAMS = {"ostrel", "ostrel-cli", "ostrel-print"}
# The command line and its print module share the request types of the print
# module's interface, and only those: the command line must not link the
# print support, which is the module's whole point.
SHARED_TYPES_ONLY = {("ostrel-cli", "ostrel_printing"), ("ostrel-print", "ostrel-cli")}
# Below the toolkit: no widget may appear here.
WIDGET_FREE = {"ostrel_util", "ostrel_data", "ostrel_colour", "ostrel_imageio", "ostrel_engine",
               "ostrel_detect", "ostrel_printing", "ostrel-cli"}
# System headers that come with a library of their own.
SYSTEM_HEADERS = {
    "jpeglib.h": "JPEG::JPEG",
    "jerror.h": "JPEG::JPEG",
    "png.h": "PNG::PNG",
    "tiffio.h": "TIFF::TIFF",
    "sodium.h": "PkgConfig::SODIUM",
    "openssl/": "PkgConfig::LIBCRYPTO",
    "cups/": "Cups::Cups",
    "thread": "Threads::Threads",
}
WIDGETS = "Qt6::Widgets"
QT_MODULES = {"QtCore": "Qt6::Core", "QtGui": "Qt6::Gui", "QtWidgets": WIDGETS, "QtPrintSupport": "Qt6::PrintSupport"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
SOURCE_SUFFIXES = (".cpp", ".h")


def target_of(path):
    """The target that builds src/<path>, or None."""
    best = None
    for folder, target in FOLDERS.items():
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best[0])):
            best = (folder, target)
    return best


def is_internal(path):
    folder, _ = target_of(path)
    return path[len(folder) + 1:].startswith("internal/")


def split_list(text):
    """A CMake list, without the empty and not-found entries of unset properties."""
    return [item for item in text.split(";") if item and item != "NOTFOUND" and not item.endswith("-NOTFOUND")]


def parse_links(lines):
    """Lines NAME|LINK_LIBRARIES|INTERFACE_LINK_LIBRARIES, as CMake writes them."""
    links = {}
    for line in lines:
        line = line.strip()
        if not line:
            continue
        name, linked, interface = (line.split("|") + ["", ""])[:3]
        public = {item for item in split_list(interface) if not item.startswith("$<LINK_ONLY:")}
        links[name] = (set(split_list(linked)), public)
    return links


def read_links(path):
    with open(path, encoding="utf-8") as lines:
        return parse_links(lines)


class Checker:
    def __init__(self, source_dir, links, qt_dirs):
        self.src = os.path.join(source_dir, "src")
        self.links = links
        self.qt_dirs = qt_dirs
        self.problems = []

    def external(self, header):
        module = header.split("/")[0]
        if module in QT_MODULES:
            return QT_MODULES[module]
        for qt_target, folder in self.qt_dirs.items():
            if os.path.isfile(os.path.join(folder, header)):
                return qt_target
        for prefix, target in SYSTEM_HEADERS.items():
            if header == prefix or (prefix.endswith("/") and header.startswith(prefix)):
                return target
        return None

    def resolve(self, path, header):
        """src-relative path of a quoted include, or None when it is not in src/."""
        folder, _ = target_of(path)
        candidates = [os.path.join(os.path.dirname(path), header), header,
                      os.path.join(folder, "internal", header)]
        for candidate in candidates:
            candidate = os.path.normpath(candidate)
            if os.path.isfile(os.path.join(self.src, candidate)):
                return candidate
        return None

    def files(self):
        for root, _, names in os.walk(self.src):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.relpath(os.path.join(root, name), self.src).replace(os.sep, "/")
                    if target_of(path):
                        yield path

    def run(self):
        used = {}  # target -> {dependency: public?}
        graph = {}
        for path in self.files():
            _, target = target_of(path)
            public_file = path.endswith(".h") and not is_internal(path) and target not in PROGRAMS
            deps = used.setdefault(target, {})
            with open(os.path.join(self.src, path), encoding="utf-8", errors="replace") as source:
                text = source.read()
            for quote, header in INCLUDE.findall(text):
                dependency = None
                if quote == '"':
                    resolved = self.resolve(path, header)
                    if resolved is None:
                        continue
                    _, dependency = target_of(resolved) or (None, None)
                    if dependency is None:
                        continue
                    if dependency != target and is_internal(resolved):
                        self.problems.append(f"src/{path}: includes {resolved}, internal to {dependency}")
                    if dependency == target:
                        continue
                    graph.setdefault(target, set()).add(dependency)
                else:
                    dependency = self.external(header)
                    if dependency is None:
                        continue
                    if dependency == WIDGETS and target in WIDGET_FREE:
                        self.problems.append(f"src/{path}: includes the widget header <{header}> below the toolkit")
                deps[dependency] = deps.get(dependency, False) or public_file
        self.check_links(used)
        self.check_cycles(graph)
        return self.problems

    def check_links(self, used):
        for target in sorted(used):
            if target not in self.links:
                continue
            linked, public = self.links[target]
            known = {dep for dep in linked if dep.startswith("ostrel") or dep in set(SYSTEM_HEADERS.values())
                     or dep in self.qt_dirs}
            for dependency, needed_public in sorted(used[target].items()):
                if dependency not in linked and (target, dependency) not in SHARED_TYPES_ONLY:
                    self.problems.append(f"{target}: uses {dependency} but does not link it")
                elif needed_public and dependency not in public:
                    self.problems.append(f"{target}: its headers include {dependency}, linked PRIVATE")
                elif not needed_public and dependency in public and target not in PROGRAMS:
                    self.problems.append(f"{target}: links {dependency} PUBLIC, used only by its sources")
            for dependency in sorted(known - set(used[target])):
                self.problems.append(f"{target}: links {dependency} but uses none of it")

    def check_cycles(self, graph):
        state = {}

        def visit(node, trail):
            state[node] = "open"
            for following in sorted(graph.get(node, ())):
                if state.get(following) == "open":
                    cycle = trail[trail.index(following):] + [following]
                    self.problems.append("include cycle between libraries: " + " -> ".join(cycle))
                elif following not in state:
                    visit(following, trail + [following])
            state[node] = "done"

        for node in sorted(graph):
            if node not in state:
                visit(node, [node])


def self_test():
    """Builds small trees that break one rule each and checks that each is caught."""
    qt = {}
    cases = [
        # (what it shows, files {src path: text}, links, expected fragment or None)
        ("a clean tree passes",
         {"util/A.h": "", "imageio/B.h": '#include "util/A.h"\n', "imageio/B.cpp": '#include "B.h"\n'},
         {"ostrel_imageio": ("ostrel_util", "ostrel_util")}, None),
        ("an include of another library's internal header",
         {"util/internal/Kit.h": "", "util/A.cpp": '#include "Kit.h"\n',
          "imageio/B.cpp": '#include "util/internal/Kit.h"\n'},
         {"ostrel_imageio": ("ostrel_util", "$<LINK_ONLY:ostrel_util>")}, "internal to ostrel_util"),
        ("a widget header below the toolkit",
         {"imageio/B.cpp": "#include <QtWidgets/QDialog>\n"},
         {"ostrel_imageio": ("Qt6::Widgets", "$<LINK_ONLY:Qt6::Widgets>")}, "widget header"),
        ("a library used but not linked",
         {"util/A.h": "", "shell/S.cpp": '#include "util/A.h"\n'},
         {"ostrel_shell": ("", "")}, "uses ostrel_util but does not link it"),
        ("a library linked but not used",
         {"engine/E.h": "", "toolkit/T.cpp": ""},
         {"ostrel_toolkit": ("ostrel_engine", "ostrel_engine")}, "links ostrel_engine but uses none of it"),
        ("a public header's dependency linked PRIVATE",
         {"util/A.h": "", "colour/C.h": '#include "util/A.h"\n'},
         {"ostrel_colour": ("ostrel_util", "$<LINK_ONLY:ostrel_util>")}, "linked PRIVATE"),
        ("a dependency of sources alone linked PUBLIC",
         {"util/A.h": "", "colour/C.cpp": '#include "util/A.h"\n'},
         {"ostrel_colour": ("ostrel_util", "ostrel_util")}, "used only by its sources"),
        ("a cycle between libraries",
         {"util/A.h": '#include "colour/C.h"\n', "colour/C.h": '#include "util/A.h"\n'}, {},
         "include cycle between libraries"),
        ("a system library used but not linked",
         {"imageio/jpeg.cpp": "#include <jpeglib.h>\n"},
         {"ostrel_imageio": ("", "")}, "uses JPEG::JPEG"),
    ]
    failures = 0
    for what, files, links, expected in cases:
        with tempfile.TemporaryDirectory() as root:
            for path, text in files.items():
                full = os.path.join(root, "src", path)
                os.makedirs(os.path.dirname(full), exist_ok=True)
                with open(full, "w", encoding="utf-8") as out:
                    out.write(text)
            parsed = parse_links(f"{name}|{linked}|{interface}" for name, (linked, interface) in links.items())
            problems = Checker(root, parsed, qt).run()
            caught = any(expected in problem for problem in problems) if expected else not problems
            if not caught:
                failures += 1
                print(f"FAILED: {what}: expected {expected!r}, got {problems}")
    print(f"{len(cases) - failures} of {len(cases)} cases as expected")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source-dir")
    parser.add_argument("--links")
    parser.add_argument("--qt", action="append", default=[], help="TARGET=INCLUDE_DIR of one Qt module")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    qt_dirs = dict(item.split("=", 1) for item in args.qt)
    problems = Checker(args.source_dir, read_links(args.links), qt_dirs).run()
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("The libraries link what they include, and nothing else.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
