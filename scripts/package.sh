#!/usr/bin/env bash
# The product as a workstation gets it: installs the default build into a temporary prefix, builds the
# example consumer out of tree against it with CMake (find_package) and with pkg-config, runs it, then
# makes the Debian package and checks what it holds. Needs a built default preset (scripts/setup.sh).
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
plugin=/usr/lib/vst/ZamCompX2-vst.so

echo "== cmake --install into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

echo "== out-of-tree build with find_package(PluginHost)"
cmake -S pluginhost/examples/consumer -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "$plugin"

echo "== the same program with pkg-config"
export PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name pluginhost-client.pc)")"
host="$(pkg-config --variable=host_executable pluginhost-client)"
# shellcheck disable=SC2046
g++ -std=c++20 -DPLUGIN_HOST_EXECUTABLE="\"$host\"" pluginhost/examples/consumer/main.cpp -o "$work/consumer-pc" \
    $(pkg-config --cflags --libs pluginhost-client)
"$work/consumer-pc" "$plugin"

echo "== plugin-host-render from the prefix"
bash scripts/tone.sh "$work/tone.wav" 0.5
"$prefix/bin/plugin-host-render" "$plugin" "$work/tone.wav" "$work/rendered.wav"
test -s "$work/rendered.wav"

echo "== cpack -G DEB"
(cd "$build" && cpack -G DEB >/dev/null)
package="$(ls -t "$build"/plugin-host_*.deb | head -n 1)"
contents="$(dpkg-deb -c "$package")"
missing=0
for expected in ./usr/bin/plugin-host ./usr/bin/plugin-host-render \
                 '/libpluginhost-client\.a' '/libpluginhost-protocol\.a' '/libbase-core\.a' \
                 ./usr/include/pluginhost/client/RemotePluginHostProxy.h \
                 ./usr/include/pluginhost/plugin/PluginHostRequests.h \
                 ./usr/include/pluginhost/base/core/String.h \
                 '/cmake/PluginHost/PluginHostConfig\.cmake' '/cmake/PluginHost/PluginHostTargets\.cmake' \
                 '/pkgconfig/pluginhost-client\.pc'; do
    if ! grep -qE -- "$expected( |$)" <<<"$contents"; then
        echo "missing from $package: $expected" >&2
        missing=1
    fi
done
# The host's private headers stay out of the package.
if grep -qE 'PluginHost\.h|PluginInstance\.h|Vst2' <<<"$contents"; then
    echo "host headers in $package:" >&2
    grep -E 'PluginHost\.h|PluginInstance\.h|Vst2' <<<"$contents" >&2
    missing=1
fi
[ "$missing" -eq 0 ]
echo "$package: $(grep -c . <<<"$contents") entries, all expected files present"
