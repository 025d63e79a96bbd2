#!/usr/bin/env bash
# Set-up (packages, configure, build), then the whole test suite of one preset.
#   scripts/test.sh [default|sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/setup.sh "$preset"
ctest --preset "$preset" --parallel "$(nproc)"
