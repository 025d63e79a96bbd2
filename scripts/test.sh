#!/usr/bin/env bash
# Set-up (packages, configure, build), then the whole test suite of one preset, then a check that the hosts
# it ran left no shared-memory block behind.
#   scripts/test.sh [default|sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/setup.sh "$preset"

run_tests() { ctest --preset "$preset" --parallel "$(nproc)"; }

# The hosts' blocks have 24-character hashed names; other programs' objects are left out of the count.
blocks() { find /dev/shm -maxdepth 1 -type f -printf '%f\n' 2>/dev/null | grep -E '^[A-Za-z0-9+_=-]{24}$' | sort || true; }

if unshare -m true 2>/dev/null; then
    # Where a private mount namespace may be made (as root), the suite gets a /dev/shm of its own, so that
    # what is left there is the suite's alone, whatever else runs on the machine.
    export -f run_tests blocks
    export preset
    exec unshare -m bash -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm && run_tests &&
        left="$(blocks)" && if [ -n "$left" ]; then
            echo "Shared-memory blocks left in /dev/shm by the test run:" >&2; echo "$left" >&2; exit 1; fi &&
        echo "No shared-memory block was left in /dev/shm."'
fi
before="$(blocks)"
run_tests
left="$(comm -13 <(echo "$before") <(blocks))"
if [ -n "$left" ]; then
    echo "Shared-memory blocks left in /dev/shm by the test run:" >&2
    echo "$left" >&2
    exit 1
fi
echo "No shared-memory block was left in /dev/shm."
