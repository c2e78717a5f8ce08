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
# wine32:i386 needs every Multi-Arch library at the same version in both
# architectures. When a mirror serves a broken i386 index of the security
# suite (seen for days: "File has unexpected size ... Mirror sync in
# progress?"), the i386 side only has the release's own versions and apt
# refuses. Then the rest goes in as usual, and the 32-bit Wine with both
# sides of its libraries taken from the release (downgrading where the
# 64-bit side came from the security suite), loudly.
install_32bit_wine_from_release() {
  local rest=() p
  for p in "$@"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  [ ${#rest[@]} -eq $# ] && return 1
  if [ ${#rest[@]} -ne 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${rest[@]}" || return 1
  fi
  local release pins
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$release" ] || return 1
  # Only this pin counts, not the machine's own preferences.
  pins=$(mktemp -d)
  mkdir "$pins/parts"
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$release" >"$pins/release"
  echo "deps.sh: WARNING: wine32:i386 does not install against this mirror's indexes;"
  echo "deps.sh: installing it with its libraries from $release itself, in both architectures"
  DEBIAN_FRONTEND=noninteractive apt-get install -y --allow-downgrades \
    -o Dir::Etc::preferences="$pins/release" -o Dir::Etc::preferencesparts="$pins/parts" wine32:i386
  local rc=$?
  rm -rf "$pins"
  return $rc
}

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
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"; then
    install_32bit_wine_from_release "${missing[@]}" || exit 1
  fi
fi
"$tree/scripts/fetch_sources.sh" || exit 1

# Without 32-bit programs everything else still runs; the 32-bit Wine tests
# then report themselves skipped.
"$(dirname "$0")/i386.sh" ||
  echo "deps.sh: WARNING: 32-bit programs cannot run here; the 32-bit Wine tests will be skipped"
