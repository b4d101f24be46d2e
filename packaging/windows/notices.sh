#!/usr/bin/env bash
# Writes the licence notices of what the MinGW-w64 toolchain links into each
# program given (CMake passes the installer's), from Debian's copyright files of it.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: notices.sh PROGRAM.EXE..." >&2; exit 2; }
programs=$1
shift
while [ $# -gt 1 ]; do
    programs+=", $1"
    shift
done
[ $# -eq 0 ] || programs+=" and $1"
fold -s -w 78 <<TEXT | sed 's/ *$//'
$programs are built with the MinGW-w64 toolchain and link statically its C runtime, its threads library (winpthreads) and GCC's runtime libraries (libgcc, libstdc++). Their licence notices follow.
TEXT
for file in /usr/share/doc/mingw-w64-common/copyright /usr/share/doc/gcc-mingw-w64-base/copyright; do
    printf '\n==== %s\n\n' "$(basename "$(dirname "$file")")"
    cat "$file"
done
