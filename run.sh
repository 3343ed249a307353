#!/usr/bin/env bash
# Builds the deliverables and runs the system's main job: kxhost loads
# kx200maria64.so and drives it as the platform's runtime would.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKX_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
./build/bin/kxhost
