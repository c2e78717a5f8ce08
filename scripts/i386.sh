#!/usr/bin/env bash
# Lets this machine run 32-bit x86 programs, which the 32-bit Wine (and with
# it the shipped 32-bit DLLs) needs. Where the kernel runs them itself there
# is nothing to do. Kernels built without IA-32 support answer "Exec format
# error"; there the 32-bit programs run under qemu's user-mode emulator,
# registered with binfmt_misc. Debian 12's qemu 7.2 mistreats the
# MAP_FIXED_NOREPLACE mappings 32-bit Wine makes at start-up, so qemu comes
# from bookworm-backports (10.0 works). Needs root; a no-op when done once.
set -u
loader=/usr/lib/wine/wine
[ -x "$loader" ] || { echo "i386.sh: $loader is not installed (wine32:i386)"; exit 1; }
"$loader" --version >/dev/null 2>&1 && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "i386.sh: this kernel cannot run 32-bit programs; as root, run scripts/i386.sh to emulate them"
  exit 1
fi

qemu=/usr/bin/qemu-i386
qemu_major=$("$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
if [ "${qemu_major:-0}" -lt 8 ]; then
  . /etc/os-release
  if [ "${VERSION_CODENAME:-}" = bookworm ]; then
    echo "deb http://deb.debian.org/debian bookworm-backports main" \
      >/etc/apt/sources.list.d/kx-bookworm-backports.list
    apt-get update || echo "i386.sh: apt-get update reported a problem; trying the install anyway"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -t bookworm-backports qemu-user
  else
    DEBIAN_FRONTEND=noninteractive apt-get install -y qemu-user
  fi
fi

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
# An old or disabled entry goes; the new one opens the emulator at once (F),
# so it serves inside other mount namespaces too.
[ -e "$binfmt/qemu-i386" ] && echo -1 >"$binfmt/qemu-i386"
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
  >"$binfmt/register"

if ! "$loader" --version >/dev/null 2>&1; then
  echo "i386.sh: 32-bit programs still do not start"
  exit 1
fi
echo "i386.sh: 32-bit programs run under $("$qemu" --version | head -n1)"
