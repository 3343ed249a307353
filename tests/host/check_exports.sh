#!/usr/bin/env bash
# Checks that a module shows exactly the exports its version script names:
# every name listed there (C names, and quoted C++ names in their demangled
# form) is defined, and nothing else is visible.
set -euo pipefail
module=$1
map=$2
expected=$(sed -n '/global:/,/local:/p' "$map" | grep -v -E 'global:|local:|extern|^ *};' \
  | sed -e 's/^ *//' -e 's/;$//' -e 's/^"//' -e 's/"$//' | grep -v '^$' | sort)
actual=$(nm -D --defined-only -C "$module" | cut -d' ' -f3- | sort)
if [ "$expected" != "$actual" ]; then
  echo "expected exports:"; echo "$expected"
  echo "actual exports:"; echo "$actual"
  exit 1
fi
echo "exports:"; echo "$actual"
