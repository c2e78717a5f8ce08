#!/usr/bin/env python3
"""Lists every header a test includes that tests may not: tests see the
driver as a host does, so that a refactor that keeps behaviour keeps them
passing and a fault the code and its test would share cannot hide.

Prints one line per violation (file:line: header) and exits 1 if there is
any. Usage: check_test_includes.py [SOURCE_DIR]
"""
import os
import re
import sys

# What a test may include: a header path (or a folder ending in "/") and the
# test files or folders that may include it ("" is every test).
ALLOWED = [
    # The interface a host includes.
    ("api/", ""),
    # The stand-ins' and softsgl's controls: how a test steers and watches
    # the ground the driver stands on (failures, call logs, pixels).
    ("platform/posix/standin_control.h", ""),
    ("softsgl/softsgl_control.h", ""),
    # The calls the stand-ins and softsgl answer: their own interface.
    ("platform/sgl.h", ""),
    ("platform/win32.h", ""),
    ("platform/directdraw.h", ""),
    # Test support and the tests' own helpers, themselves held to this list.
    ("tests/", ""),
    # The driver's own test controls (not exported: tests link its objects):
    # the sink its messages go to, taken in by the test support alone, and
    # failing record allocations.
    ("diag/diag.h", "tests/support/test_support.cpp"),
    ("texture/texture_test_control.h", ""),
    # What freeing the library without Shutdown does, which a test on the
    # stand-ins cannot bring about by freeing it.
    ("driver/driver_test_control.h", "tests/driver/"),
    # Exact kernels, each tested beside its plain reference; the level a
    # kernel set is chosen at, and the rule that caps it.
    ("blit/blit_kernels.h", "tests/blit/"),
    ("texture/texel_kernels.h", "tests/texture/"),
    ("blit/blit_reference.h", "tests/blit/"),
    ("texture/texel_reference.h", "tests/texture/"),
    ("softsgl/span_kernels.h", "tests/softsgl/span_kernels_test.cpp"),
    ("softsgl/supersampling.h", "tests/softsgl/antialias_test.cpp"),
    ("cpu/kernel_level.h", "tests/cpu/ tests/softsgl/span_kernels_test.cpp tests/oracle/"),
    # The settings reader shared by both DLLs, kxcheck and the recorder:
    # its own tests read files through it.
    ("settings/settings.h", "tests/settings/"),
    # Programs and tools outside the driver: the host programs' code (a
    # test is a host), the trace tools, the benchmark's Mesa peer and box
    # average, the fuzz harness.
    ("host/", ""),
    ("trace/", "tests/trace/ tests/e2e/"),
    ("bench/mesa_peer.h", "tests/oracle/"),
    ("bench/box_average.h", "tests/support/"),
    ("fuzz/", "tests/fuzz/"),
]

# Top folders of the tree: an angle-bracket include naming one is ours too.
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCES = (".c", ".cc", ".cpp", ".h", ".hpp")
SKIPPED = ("tests/peers/",)  # third-party code kept with its licence


def allowed(header, test):
    for path, where in ALLOWED:
        matches = header.startswith(path) if path.endswith("/") else header == path
        if matches and (not where or any(test.startswith(w) for w in where.split())):
            return True
    return False


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    tops = {d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d))}
    violations = 0
    for folder, dirs, files in os.walk(os.path.join(root, "tests")):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            test = os.path.relpath(path, root)
            if not name.endswith(SOURCES) or test.startswith(SKIPPED):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    header = m.group(2)
                    beside = os.path.join(folder, header)
                    if m.group(1) == '"' and os.path.exists(beside):
                        header = os.path.relpath(os.path.normpath(beside), root)
                    elif header.split("/")[0] not in tops:
                        continue  # the system's and the libraries' headers
                    if not allowed(header, test):
                        print(f"{test}:{number}: {header}")
                        violations += 1
    if violations:
        print(f"{violations} include(s) of headers tests may not use "
              "(scripts/check_test_includes.py lists what they may)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
