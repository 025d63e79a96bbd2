#!/usr/bin/env bash
# Set-up, then the executable's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh default
# Without arguments: the test harness over the example plug-ins built with the project, each in a host
# process of its own; the exit status is the number of plug-ins that failed.
if [ "$#" -eq 0 ]; then
    set -- test build/default/pluginhost/testplugins/examples
fi
./build/default/pluginhost/app/plugin-host "$@"
