#!/usr/bin/env python3
"""Checks that a shared library exports C symbols only.

Prints every exported symbol with a C++ name (mangled, _Z...) and exits with
1 when there is one, or when the library exports nothing at all.
"""

import subprocess
import sys


def main():
    if len(sys.argv) != 2:
        print("usage: c_abi_exports.py LIBRARY")
        return 2
    out = subprocess.run(["nm", "-D", "--defined-only", sys.argv[1]], check=True,
                         capture_output=True, text=True).stdout
    symbols = [line.split()[-1] for line in out.splitlines() if line.strip()]
    cxx = [s for s in symbols if s.startswith("_Z")]
    for s in cxx:
        print("exports a C++ symbol:", s)
    if not symbols:
        print("exports nothing")
        return 1
    return 1 if cxx else 0


if __name__ == "__main__":
    sys.exit(main())
