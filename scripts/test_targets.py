#!/usr/bin/python3
"""Names the build targets that the tests picked by some ctest arguments need.

Used by scripts/test when it is given ctest arguments (`scripts/test -R NAME`):

    test_targets.py BUILD_DIR SOURCE_DIR CTEST_ARGS...

prints one target a line, nothing when the picked tests need no build (the
layering and format checks), or the single word `all` when it cannot tell.

A unit test is only known to CTest once its area's program is built (before
that CTest holds a stand-in `qm_<area>_tests_NOT_BUILT`), so the -R patterns
are also matched against the tests the sources declare. A window or oracle
script drives the program and the test tools, never a unit-test program.
"""

import json
import os
import re
import subprocess
import sys

# TEST(Suite, Case), TEST_F(...), TEST_P(...) and the typed forms.
TEST_DECL = re.compile(r"^\s*(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\(\s*(\w+)\s*,\s*(\w+)\s*\)", re.M)
INSTANTIATION = re.compile(r"INSTANTIATE_(?:TYPED_)?TEST_SUITE_P\(\s*(\w+)\s*,\s*(\w+)\s*,")
ADD_TEST = re.compile(r"^\s*add_test\(\s*(?:\[(=*)\[(.*?)\]\1\]|(\S+))\s+(.*)\)\s*$")
ARGUMENT = re.compile(r'"((?:[^"\\]|\\.)*)"|\[(=*)\[(.*?)\]\2\]|(\S+)')
NOT_BUILT = "_NOT_BUILT"


def patterns_of(args):
    """The -R patterns, or None when the arguments pick tests some other way
    that this script does not follow."""
    patterns = []
    i = 0
    while i < len(args):
        a = args[i]
        if a in ("-R", "--tests-regex") and i + 1 < len(args):
            patterns.append(args[i + 1])
            i += 2
            continue
        if a.startswith("-R") and len(a) > 2:
            patterns.append(a[2:])
        elif a.startswith("--tests-regex="):
            patterns.append(a.split("=", 1)[1])
        elif a in ("-U", "--union", "--tests-from-file", "--rerun-failed"):
            return None
        i += 1
    return patterns or None


def registered_tests(build):
    """Every add_test CTest reads below the build folder: name -> command."""
    tests = {}
    for folder, _, files in os.walk(build):
        for f in files:
            if f != "CTestTestfile.cmake" and not f.endswith(("_tests.cmake", "_include.cmake")):
                continue
            with open(os.path.join(folder, f), encoding="utf-8", errors="replace") as text:
                for line in text:
                    m = ADD_TEST.match(line)
                    if not m:
                        continue
                    name = m.group(2) if m.group(2) is not None else m.group(3)
                    command = [a.group(1) if a.group(1) is not None else
                               a.group(3) if a.group(3) is not None else a.group(4)
                               for a in ARGUMENT.finditer(m.group(4))]
                    tests[name] = command
    return tests


def picked_names(build, args):
    """The tests CTest itself picks with these arguments (its own regular
    expressions), before anything is built."""
    out = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1", *args],
        capture_output=True, text=True)
    if out.returncode != 0:
        return None
    try:
        return [t["name"] for t in json.loads(out.stdout).get("tests", [])]
    except ValueError:
        return None


def declared_tests(source, area):
    """'Suite.Case' names declared below tests/<area>/, with the names a
    parameterised suite's instantiations give."""
    names = []
    root = os.path.join(source, "tests", area)
    for folder, _, files in os.walk(root):
        for f in files:
            if not f.endswith((".cpp", ".h")):
                continue
            with open(os.path.join(folder, f), encoding="utf-8", errors="replace") as text:
                body = text.read()
            # An instantiation names its cases by index or by the names its
            # name generator returns: every text quoted near it may be one.
            prefixes = {}
            for m in INSTANTIATION.finditer(body):
                suffixes = ["0"] + re.findall(r'"([^"\\]*)"', body[m.end() : m.end() + 600])
                prefixes.setdefault(m.group(2), []).append((m.group(1), suffixes))
            for kind, suite, case in TEST_DECL.findall(body):
                names.append(f"{suite}.{case}")
                for prefix, suffixes in prefixes.get(suite, []):
                    names += [f"{prefix}/{suite}.{case}/{suffix}" for suffix in suffixes]
                if kind.startswith("TYPED"):
                    names.append(f"{suite}/0.{case}")
    return names


def tool_targets(build):
    """The program and every test tool (the executables below tools/)."""
    out = subprocess.run(["ninja", "-C", build, "-t", "targets", "all"], capture_output=True, text=True, check=True)
    tools = set()
    for line in out.stdout.splitlines():
        path, _, rule = line.partition(": ")
        if rule.startswith("CXX_EXECUTABLE_LINKER") and path.startswith("tools/") and "/" not in path[6:]:
            tools.add(path[6:])
    return {"quenmrk"} | tools


def main():
    build, source, args = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3:]
    patterns = patterns_of(args)
    if patterns is None:
        return ["all"]
    try:
        regexes = [re.compile(p) for p in patterns]
    except re.error:
        return ["all"]
    names = picked_names(build, args)
    if names is None:
        return ["all"]
    tests = registered_tests(build)
    programs = {n[: -len(NOT_BUILT)] for n, _ in tests.items() if n.endswith(NOT_BUILT)}
    for command in tests.values():
        if command and re.fullmatch(r"qm_\w+_tests", os.path.basename(command[0])):
            programs.add(os.path.basename(command[0]))

    targets = set()
    for program in sorted(programs):
        area = program[3:-6]
        if any(r.search(n) for r in regexes for n in declared_tests(source, area)):
            targets.add(program)

    scripts_dir = os.path.join(source, "scripts") + os.sep
    for name in names:
        command = tests.get(name)
        if name.endswith(NOT_BUILT):
            targets.add(name[: -len(NOT_BUILT)])
        elif not command:
            return ["all"]
        elif command[0].startswith(build + os.sep):
            targets.add(os.path.basename(command[0]))
        elif command[0].startswith(scripts_dir):
            pass  # a check of the sources (format)
        elif os.path.basename(command[0]).startswith("python") and len(command) > 1:
            if not command[1].startswith(scripts_dir):  # layering needs no build
                targets |= tool_targets(build)
        else:
            return ["all"]
    return sorted(targets)


if __name__ == "__main__":
    print("\n".join(main()))
