#!/usr/bin/env bash
# Set-up, then the executable's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh default
# Without arguments: the information report of the example shell plug-in built with the project.
if [ "$#" -eq 0 ]; then
    set -- info build/default/pluginhost/testplugins/TestShell.so
fi
./build/default/pluginhost/app/plugin-host "$@"
