#!/bin/sh
# The runtime's static library, which the library kx200maria64 takes whole,
# must hold none of the installer's own classes and functions.
# Usage: check_runtime_archive.sh <libkxruntime.a>
set -eu
archive=$1
[ -f "$archive" ] || { echo "no archive: $archive" >&2; exit 1; }
found=$(nm -C "$archive" 2>/dev/null |
        grep -E 'CStrMemAlloc|CMemoryStream|CMD5|CCryptRC5|cp_wcstombs|SetCommandLine|CWinZip|CRepertoire|CKXWinZip|CDataExtractor|bGetResInstaller76' || true)
if [ -n "$found" ]; then
  echo "installer code in the runtime library:" >&2
  echo "$found" >&2
  exit 1
fi
# The check itself must see the archive's symbols.
nm -C "$archive" | grep -q 'CXError::' || { echo "nm shows no runtime symbols" >&2; exit 1; }
