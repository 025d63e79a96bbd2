#!/usr/bin/env bash
# Set-up, then the executable's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh default
./build/default/pluginhost/app/plugin-host "$@"
