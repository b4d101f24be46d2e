#!/usr/bin/env bash
# Writes the licence notices of what the MinGW-w64 toolchain links into
# kresovar.exe and kresovar-fold.exe, from Debian's copyright files of it.
set -euo pipefail
cat <<'TEXT'
kresovar.exe and kresovar-fold.exe are built with the MinGW-w64 toolchain and
link statically its C runtime, its threads library (winpthreads) and GCC's
runtime libraries (libgcc, libstdc++). Their licence notices follow.
TEXT
for file in /usr/share/doc/mingw-w64-common/copyright /usr/share/doc/gcc-mingw-w64-base/copyright; do
    printf '\n==== %s\n\n' "$(basename "$(dirname "$file")")"
    cat "$file"
done
