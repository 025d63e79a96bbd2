#!/usr/bin/env bash
# Lines of test code against lines of product code, counted over the files git tracks:
#   product: C and C++ files under a src/main folder;
#   tests:   C and C++ files elsewhere whose path contains "test" (any case): unit and host-process tests,
#            test support and the test plug-ins; the benchmarks and the fuzzer are not counted.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { xargs -r cat | wc -l; }
sources() { git ls-files | grep -E '\.(c|cc|cpp|h|hpp)$'; }
product=$(sources | grep '/src/main/' | count)
tests=$(sources | grep -v '/src/main/' | grep -i test | grep -v -E 'benchmark|fuzz' | count)
echo "product: $product lines, tests: $tests lines, ratio $(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.3f", t / p }')"
