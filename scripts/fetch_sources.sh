#!/usr/bin/env bash
# Fetches the sources of the libraries that the Windows builds compile
# themselves (lz4, zstd, libpng) from Debian's registry with "apt-get source",
# into build/third_party/<name> of this tree (outside git; cmake reads them
# from there, see cmake/third_party.cmake). Enables the registry's source
# entries first when they are missing (as root). A no-op once fetched.
set -u
tree=$(cd "$(dirname "$0")/.." && pwd)
dest=${KX_THIRD_PARTY_DIR:-$tree/build/third_party}

# <folder> <Debian source package>
sources=("lz4 lz4" "zstd libzstd" "libpng libpng1.6")

wanted=()
for entry in "${sources[@]}"; do
  read -r folder package <<<"$entry"
  [ -f "$dest/$folder/.kx-fetched" ] || wanted+=("$entry")
done
[ ${#wanted[@]} -eq 0 ] && exit 0

if ! apt-get source --print-uris lz4 >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "fetch_sources: apt has no source entries (deb-src); as root, run scripts/deps.sh"
    exit 1
  fi
  # The main suite only: the security archive's source entries are not
  # always served.
  . /etc/os-release
  parts=/etc/apt/sources.list.d/
  eval "$(apt-config shell parts Dir::Etc::sourceparts/d)"
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' \
    "Suites: ${VERSION_CODENAME:-bookworm}" 'Components: main' \
    'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
    >"${parts%/}/kx-source-packages.sources"
  apt-get update || echo "fetch_sources: apt-get update reported a problem; trying anyway"
fi

mkdir -p "$dest"
for entry in "${wanted[@]}"; do
  read -r folder package <<<"$entry"
  work=$(mktemp -d "$dest/.fetch.XXXXXX")
  if ! (cd "$work" && apt-get source -q "$package" >fetch.log 2>&1); then
    cat "$work/fetch.log"
    echo "fetch_sources: apt-get source $package failed"
    rm -rf "$work"
    exit 1
  fi
  unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n1)
  if [ -z "$unpacked" ]; then
    echo "fetch_sources: apt-get source $package unpacked nothing"
    rm -rf "$work"
    exit 1
  fi
  rm -rf "${dest:?}/$folder"
  mv "$unpacked" "$dest/$folder"
  basename "$unpacked" >"$dest/$folder/.kx-fetched"
  rm -rf "$work"
  echo "fetch_sources: $package -> $dest/$folder ($(cat "$dest/$folder/.kx-fetched"))"
done
