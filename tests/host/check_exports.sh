#!/usr/bin/env bash
# Checks that a module shows exactly the exports its version script names:
# every name listed there is defined, and nothing else is visible.
set -euo pipefail
module=$1
map=$2
expected=$(sed -n '/global:/,/local:/p' "$map" | grep -v -E 'global:|local:' | tr -d ' ;' | grep -v '^$' | sort)
actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
if [ "$expected" != "$actual" ]; then
  echo "expected exports:"; echo "$expected"
  echo "actual exports:"; echo "$actual"
  exit 1
fi
echo "exports: $(echo $actual)"
