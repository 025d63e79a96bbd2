#!/usr/bin/env bash
# Set-up (packages, configure, build), then the audio round-trip benchmark: one block through a host process
# with a plug-in that does nothing (a VST 2 one and a VST 3 one), the VST 2 one called in-process, and a bare
# FIFO ping-pong of the same message sizes, followed by a summary of the medians and their ratios. Arguments
# go to the benchmark executable (Google Benchmark options, for example --benchmark_repetitions=20).
#   scripts/benchmark.sh [benchmark options]
# With BUILD_DIR set, an already configured build directory is built and measured instead of the default
# preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${BUILD_DIR:-}" ]; then
    cmake --build "$BUILD_DIR" --target audio-roundtrip-benchmark
else
    bash scripts/setup.sh default
    BUILD_DIR=build/default
fi

results="$(mktemp /tmp/audio-roundtrip-XXXXXX.json)"
trap 'rm -f "$results"' EXIT
echo "Load before the run: $(uptime)"
# Interleaved repetitions spread any change in the machine's load over all three families alike.
"$BUILD_DIR/pluginhost/benchmarks/audio-roundtrip-benchmark" \
    --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
    --benchmark_display_aggregates_only=true \
    --benchmark_out="$results" --benchmark_out_format=json "$@"
echo "Load after the run: $(uptime)"

python3 - "$results" <<'PYTHON'
import json, statistics, sys

SCALE = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
FAMILIES = ("BM_HostRoundTrip", "BM_InProcess", "BM_FifoPingPong", "BM_HostRoundTripVst3")

with open(sys.argv[1]) as file:
    report = json.load(file)
times = {}
errors = []
for run in report["benchmarks"]:
    if run.get("error_occurred"):
        errors.append("%s: %s" % (run["name"], run.get("error_message", "")))
        continue
    if run.get("run_type") != "iteration":
        continue
    family, frames = run["run_name"].split("/")[:2]
    times.setdefault((family, int(frames)), []).append(run["real_time"] * SCALE[run["time_unit"]])

print()
print("Median time per block (wall clock, microseconds), each over its repetitions:")
print()
print("| Frames | Host round trip (µs) | In-process (µs) | FIFO ping-pong (µs) | Host / FIFO | Host / in-process "
      "| VST 3 host round trip (µs) | VST 3 host / FIFO |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
for frames in sorted({frames for _, frames in times}):
    host, local, fifo, vst3 = (statistics.median(times[(family, frames)]) if (family, frames) in times else None
                         for family in FAMILIES)
    cell = lambda value, digits: "n/a" if value is None else "%.*f" % (digits, value)
    ratio = lambda a, b, digits: "n/a" if a is None or not b else "%.*f" % (digits, a / b)
    print("| %d | %s | %s | %s | %s | %s | %s | %s |" % (
        frames, cell(host, 2), cell(local, 4), cell(fifo, 2), ratio(host, fifo, 2), ratio(host, local, 0),
        cell(vst3, 2), ratio(vst3, fifo, 2)))
if errors:
    print("\nFailed:", *errors, sep="\n", file=sys.stderr)
    sys.exit(1)
PYTHON
