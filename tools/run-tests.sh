#!/bin/bash
# Builds everything (installing what is missing) and runs every test:
# host tests natively, Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
