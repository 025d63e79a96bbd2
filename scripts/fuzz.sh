#!/usr/bin/env bash
# Set-up, then the protocol fuzzer (libFuzzer, ASan+UBSan) for a bounded time.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/setup.sh fuzz
corpus=build/fuzz/corpus
mkdir -p "$corpus"
./build/fuzz/pluginhost/fuzz/protocol-fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/ "$corpus"
