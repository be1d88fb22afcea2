#!/usr/bin/env bash
# Installs the core's SDK package from a build and builds the example plug-in out of tree
# against it, with and without UNICODE. The example DLLs land in <out>/unicode-{ON,OFF}.
set -eu
source_dir=$1 build_dir=$2 out=$3 toolchain=$4
rm -rf "$out"
cmake --install "$build_dir" --prefix "$out/prefix" >/dev/null
for unicode in ON OFF; do
    cmake -S "$source_dir/examples/hello_plugin" -B "$out/build-$unicode" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$out/prefix" \
        -DCMAKE_BUILD_TYPE=Release -DHELLO_UNICODE=$unicode >/dev/null
    cmake --build "$out/build-$unicode"
    mkdir -p "$out/unicode-$unicode"
    cp "$out/build-$unicode/hello_plugin.dll" "$out/unicode-$unicode/"
done
echo "example plug-in built against $out/prefix, with and without UNICODE"
