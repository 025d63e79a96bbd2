#!/usr/bin/env bash
# Installs the Debian packages the build and tests need (only those missing), then configures and
# builds one preset. Safe to run any number of times.
#   scripts/setup.sh [default|sanitize|fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev
    binutils dpf-plugins-vst lsp-plugins-vst zam-plugins
    clang libclang-rt-14-dev
    juce-modules-source-data
    libx11-dev libsystemd-dev libxtst-dev xvfb xauth dbus
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
