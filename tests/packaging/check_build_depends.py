#!/usr/bin/env python3
"""Every library the package's build looks for comes from a package that
debian/control's Build-Depends names.

Reads the pkg_check_modules, pkg_search_module, pkg_get_variable and
find_package calls, and the find_program calls of programs the build requires,
of the CMake files the package build reads (the top level,
src, tools and packaging; not the tests, benchmarks or fuzzer, which the
package does not build), finds the .pc or CMake config file each one loads on
this system, and asks dpkg which package ships it. That package must be in
Build-Depends (any alternative), or be what a package there depends on
directly (cmake-data through cmake, pkgconf through pkg-config), or come with
build-essential.

usage: check_build_depends.py SOURCE_DIR
"""
import fnmatch
import pathlib
import re
import subprocess
import sys

# What build-essential brings, so Debian's control files never name it.
BUILD_ESSENTIAL = {"libc6-dev", "libc-dev", "gcc", "g++", "libstdc++-12-dev", "make", "dpkg-dev"}

# Packages reached through another one that Build-Depends names by custom:
# CMake's own modules through cmake, the pkg-config program through the
# pkg-config package (the name on Debian 12 and on newer releases alike).
STANDS_FOR = {"cmake-data": "cmake", "pkgconf": "pkg-config"}

# find_package in module mode: the Find module ships with CMake, so the
# package that matters is what the module looks for.
MODULE_MODE = {
    "PkgConfig": ["/usr/bin/pkg-config"],
    "Threads": [],  # the C library's threads: build-essential
}

CALL = re.compile(r"\b(pkg_check_modules|pkg_search_module|pkg_get_variable|find_package|find_program)"
                  r"\s*\(([^)]*)\)",
                  re.IGNORECASE)
PKG_OPTIONS = {"REQUIRED", "QUIET", "NO_CMAKE_PATH", "NO_CMAKE_ENVIRONMENT_PATH", "IMPORTED_TARGET", "GLOBAL"}
FIND_KEYWORDS = {"EXACT", "QUIET", "REQUIRED", "CONFIG", "NO_MODULE", "MODULE", "GLOBAL", "NO_POLICY_SCOPE",
                 "BYPASS_PROVIDER"}


def cmake_files(source_dir):
    yield source_dir / "CMakeLists.txt"
    for sub in ("src", "tools", "packaging"):
        yield from sorted((source_dir / sub).rglob("CMakeLists.txt"))
        yield from sorted((source_dir / sub).rglob("*.cmake"))


def strip_comments(text):
    return "\n".join(line.split("#", 1)[0] for line in text.splitlines())


def build_depends(control):
    text = control.read_text()
    match = re.search(r"^Build-Depends:(.*?)(?=^\S)", text, re.MULTILINE | re.DOTALL)
    if not match:
        sys.exit(f"FAIL: {control} has no Build-Depends")
    names = set()
    for relation in match.group(1).split(","):
        for alternative in relation.split("|"):
            alternative = re.sub(r"\(.*?\)|\[.*?\]|<.*?>", "", alternative).strip()
            if alternative:
                names.add(alternative.split(":")[0])
    return names


def owners_of(patterns):
    """For each dpkg -S pattern, the packages shipping a file that matches it.

    One query for all of them: dpkg reads every package's file list each time.
    """
    result = subprocess.run(["dpkg-query", "-S", *patterns], capture_output=True, text=True)
    found = {pattern: set() for pattern in patterns}
    for line in result.stdout.splitlines():
        if line.startswith("diversion by") or ": " not in line:
            continue
        packages, path = line.split(": ", 1)
        for pattern in patterns:
            if fnmatch.fnmatchcase(path, pattern):
                found[pattern] |= {package.split(":")[0] for package in packages.split(", ")}
    return found


def wanted_files(function, arguments):
    """(what the call loads, [dpkg -S patterns for it, tried in order]) for each thing it loads."""
    function = function.lower()
    if function in ("pkg_check_modules", "pkg_search_module"):
        modules = [a for a in arguments[1:] if a not in PKG_OPTIONS]
        return [(m, [f"*/pkgconfig/{re.split(r'[<>=]', m)[0]}.pc"]) for m in modules]
    if function == "pkg_get_variable":
        return [(arguments[1], [f"*/pkgconfig/{arguments[1]}.pc"])]
    if function == "find_program":
        # A program the build may do without (ccache) is not a build dependency.
        if "REQUIRED" not in arguments:
            return []
        names = [a for a in arguments[1:] if a not in ("NAMES", "REQUIRED")][:1]
        return [(n, [f"/usr/bin/{n}", f"/bin/{n}"]) for n in names]
    name = arguments[0]
    if name in MODULE_MODE:
        return [(name, [path]) for path in MODULE_MODE[name]]
    components = []
    if "COMPONENTS" in arguments:
        for argument in arguments[arguments.index("COMPONENTS") + 1:]:
            if argument in FIND_KEYWORDS or argument == "OPTIONAL_COMPONENTS":
                break
            components.append(argument)
    wanted = [(name, [f"*/{name}Config.cmake", f"*/{name.lower()}-config.cmake"])]
    for component in components:
        full = name + component
        wanted.append((f"{name} {component}", [f"*/{full}Config.cmake", f"*/{full.lower()}-config.cmake"]))
    return wanted


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    source_dir = pathlib.Path(sys.argv[1])
    listed = build_depends(source_dir / "debian" / "control")
    allowed = listed | BUILD_ESSENTIAL
    allowed |= {package for package, standing in STANDS_FOR.items() if standing in listed}

    failures = []
    calls = []
    for path in cmake_files(source_dir):
        if not path.exists():
            continue
        for match in CALL.finditer(strip_comments(path.read_text())):
            function, arguments = match.group(1), match.group(2).split()
            where = f"{path.relative_to(source_dir)}: {function}({' '.join(arguments)})"
            if not arguments:
                failures.append(f"{where}: cannot read the call")
                continue
            calls += [(where, what, patterns) for what, patterns in wanted_files(function, arguments)]

    owners = owners_of(sorted({pattern for _, _, patterns in calls for pattern in patterns}))
    checked = len(calls)
    for where, what, patterns in calls:
        # The first pattern that matches is the file CMake loads.
        found = next((owners[pattern] for pattern in patterns if owners[pattern]), set())
        if not found:
            failures.append(f"{where}: no installed package ships {' or '.join(patterns)} "
                            f"for {what} (run scripts/install-deps; for a Find module "
                            "of CMake's own, add it to MODULE_MODE here)")
        elif not found & allowed:
            failures.append(f"{where}: {what} comes from {', '.join(sorted(found))}, "
                            "which Build-Depends in debian/control does not list")
    if checked == 0:
        failures.append("found no pkg_check_modules or find_package call to check")
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    if failures:
        return 1
    print(f"PASS: {checked} libraries and tools, each from a package in Build-Depends")
    return 0


if __name__ == "__main__":
    sys.exit(main())
