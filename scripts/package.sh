#!/usr/bin/env bash
# The release package for players: builds the 32-bit DLLs and writes
# build/win32/kxpwrvr-<version>-win32.zip (kxpwrvr.dll, our sgl.dll and a
# read-me). Run scripts/test.sh to test exactly these DLLs under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset win32 >/dev/null
cmake --build build/win32 -j"$(nproc)"
ls build/win32/kxpwrvr-*-win32.zip
