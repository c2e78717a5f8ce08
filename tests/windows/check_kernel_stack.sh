#!/usr/bin/env bash
# check_kernel_stack.sh OBJDUMP kxpwrvr.dll BITS
#
# The driver's vector code against the stack it may be given. A caller may
# enter the 32-bit DLL with the stack aligned to 4 bytes only (all Windows
# promises), and the 64-bit stack is aligned to 16 bytes, never 32. So:
# - no function moves a vector to or from its stack with an aligned move
#   (movaps, movdqa, vmovdqa and the like; the kernels are assembled with
#   these written as unaligned moves);
# - in the 32-bit DLL, a function whose legacy SSE instructions (which need
#   16-byte aligned memory operands) reach its stack realigns its frame first
#   ("and $0xfffffff0,%esp" or stricter).
# Exit 77 (skipped) while the DLL is not built.
set -u
objdump=$1
dll=$2
bits=$3
if [ ! -f "$dll" ]; then
  echo "SKIP: $dll is not built"
  exit 77
fi
"$objdump" -d --no-show-raw-insn "$dll" | awk -v bits="$bits" '
  function flush() {
    if (fn != "" && risky != "" && (bits == 64 || !realigned)) {
      print "FAIL: " fn " does not realign its frame for these accesses to its stack:" risky
      failures++
    }
    risky = ""; realigned = 0
  }
  /^[0-9a-f]+ <.*>:$/ { flush(); fn = $2; functions++; next }
  /\tand +\$0xf+[ec]?[0-9]?0,%esp/ { realigned = 1 }
  {
    op = $2
    if ($0 !~ /\(%(esp|ebp|rsp|rbp)/ || $0 !~ /%[xyz]mm/) next
    if (op ~ /^v?mov(ap[sd]|dqa(32|64)?|ntdq|ntp[sd])$/) {
      print "FAIL: aligned vector move on the stack in " fn ": " $0
      failures++
    } else if (bits == 32 && op !~ /^v/ &&
               op !~ /^(movups|movupd|movdqu|movq|movd|movlp[sd]|movhp[sd]|lddqu|pinsr[bwdq]|pextr[bwdq]|cvt[a-z0-9]+|u?comis[sd]|[a-z]+s[sd])$/) {
      risky = risky "\n  " $0
    }
  }
  END {
    flush()
    if (functions == 0) { print "FAIL: no functions disassembled"; exit 1 }
    if (failures) exit 1
    print "the vector code of " functions " functions keeps to the stack alignment it is given"
  }'
