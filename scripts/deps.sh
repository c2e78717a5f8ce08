#!/usr/bin/env bash
# Makes sure the Debian packages the project needs are installed. As root it
# installs what is missing; otherwise it prints the apt-get line and fails.
set -u
packages=(g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev libpng-dev
          libsdl2-dev libpixman-1-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          wine64 xvfb xauth clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:"
  echo "  sudo apt-get install -y ${missing[*]}"
  exit 1
fi
echo "Installing: ${missing[*]}"
# A partial index failure is tolerated; only a failed install stops us.
apt-get update || echo "apt-get update reported a problem; trying the install anyway"
DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
