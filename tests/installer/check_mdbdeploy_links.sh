#!/bin/sh
# mdbdeploy takes inflate and CRC-32 from the system's zlib and has nothing
# to do with the database client library.
# Usage: check_mdbdeploy_links.sh <mdbdeploy>
set -eu
program=$1
[ -x "$program" ] || { echo "no program: $program" >&2; exit 1; }
libs=$(ldd "$program")
echo "$libs" | grep -q 'libz\.so' || { echo "mdbdeploy does not link libz:" >&2; echo "$libs" >&2; exit 1; }
if echo "$libs" | grep -q 'libmariadb'; then
  echo "mdbdeploy links the client library:" >&2; echo "$libs" >&2; exit 1
fi
undefined=$(nm -D --undefined-only "$program")
for sym in inflate crc32; do
  echo "$undefined" | grep -Eq "[[:space:]]${sym}(@|\$)" || { echo "mdbdeploy does not import $sym" >&2; exit 1; }
done
