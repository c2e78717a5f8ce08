#!/usr/bin/env bash
# The release package for players: fetches what the Windows build needs
# (scripts/deps.sh), builds the 32-bit DLLs and programs and writes
# build/win32/kxpwrvr-<version>-win32.zip (kxpwrvr.dll, our sgl.dll,
# kxcheck.exe, README.txt, recorder/ with the recording kxpwrvr.dll and its
# README.txt). Run scripts/test.sh to test exactly these files under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset win32 >/dev/null
cmake --build build/win32 -j"$(nproc)"
ls build/win32/kxpwrvr-*-win32.zip
