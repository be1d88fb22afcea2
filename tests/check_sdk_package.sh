#!/usr/bin/env bash
# Installs the core's SDK package from a build and checks what a plug-in author gets: the tools,
# toolchain files, traces and try-plugin the docs use, the kit header compiling on its own from
# the package, and the example plug-in built out of tree against the package with the package's
# own toolchain file, with and without UNICODE. The example DLLs land in <out>/unicode-{ON,OFF}.
set -eu
source_dir=$1 build_dir=$2 out=$3 toolchain=$4 compiler=$5
rm -rf "$out"
prefix=$out/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

missing=0
for file in bin/Glo_core_proxy.dll bin/glo_driver.exe bin/glo_plugin_probe.exe \
    bin/glo_monitor.exe bin/glo_probe.exe include/GloPluginSDK.h include/GloPluginKit.h \
    include/GloTextIds.h include/GloConfigPaths.h cmake/mingw-common.cmake \
    cmake/toolchain-x86_64-w64-mingw32.cmake cmake/toolchain-i686-w64-mingw32.cmake \
    doc/plugin-sdk.md doc/trace-format.md; do
    [ -f "$prefix/$file" ] || { echo "the package lacks $file"; missing=1; }
done
for motion in push-away pull-towards slide-right slide-left tilt-forward tilt-back tilt-right \
    tilt-left twist-clockwise twist-anticlockwise button-0; do
    [ -f "$prefix/traces/starter/$motion.trace" ] || { echo "no starter trace $motion"; missing=1; }
done
[ -x "$prefix/scripts/try-plugin" ] || { echo "the package lacks scripts/try-plugin"; missing=1; }
[ $missing -eq 0 ] || exit 1

# The kit alone, from the package's include folder (the example below uses it either way of
# UNICODE).
printf '#include "GloPluginKit.h"\n' >"$out/kit.cpp"
"$compiler" -std=c++17 -fsyntax-only -DUNICODE -D_UNICODE -I"$prefix/include" "$out/kit.cpp" ||
    { echo "GloPluginKit.h does not compile on its own from the package"; exit 1; }

# The toolchain file as the docs name it: the package's own.
packaged=$prefix/cmake/$(basename "$toolchain")
for unicode in ON OFF; do
    cmake -S "$source_dir/examples/hello_plugin" -B "$out/build-$unicode" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$packaged" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_BUILD_TYPE=Release -DHELLO_UNICODE=$unicode >/dev/null
    cmake --build "$out/build-$unicode"
    mkdir -p "$out/unicode-$unicode"
    cp "$out/build-$unicode/hello_plugin.dll" "$out/unicode-$unicode/"
done
echo "package complete; example plug-in built against $prefix, with and without UNICODE"
