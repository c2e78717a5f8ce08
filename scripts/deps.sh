#!/usr/bin/env bash
# Makes sure the Debian packages the project needs are installed. As root it
# installs what is missing; otherwise it prints the apt-get line and fails.
# The 32-bit Wine (wine32:i386) needs the i386 architecture, and on kernels
# that run no 32-bit programs an emulator (scripts/i386.sh). The Windows
# builds compile lz4, zstd and libpng themselves, from Debian's source
# packages, which this script fetches into build/third_party (outside git).
set -u
tree=$(cd "$(dirname "$0")/.." && pwd)
packages=(g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev libpng-dev
          libsdl2-dev libpixman-1-dev libzstd-dev liblz4-dev libxxhash-dev g++-mingw-w64-i686
          g++-mingw-w64-x86-64 libz-mingw-w64-dev dpkg-dev
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          wine64 wine32:i386 xvfb xauth xdotool python3 jq chromium clang libclang-rt-14-dev
          libosmesa6-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:"
    dpkg --print-foreign-architectures | grep -qx i386 || echo "  sudo dpkg --add-architecture i386"
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A partial index failure is tolerated; only a failed install stops us.
  apt-get update || echo "apt-get update reported a problem; trying the install anyway"
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" || exit 1
fi
"$tree/scripts/fetch_sources.sh" || exit 1

# Without 32-bit programs everything else still runs; the 32-bit Wine tests
# then report themselves skipped.
"$(dirname "$0")/i386.sh" ||
  echo "deps.sh: WARNING: 32-bit programs cannot run here; the 32-bit Wine tests will be skipped"
