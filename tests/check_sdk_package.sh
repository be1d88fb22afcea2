#!/usr/bin/env bash
# Makes the core's SDK package (the ZIP) from a build and takes it as a plug-in author does:
# unpacked, every path its README names is in it, so are the tools, toolchain files, traces,
# try-plugin and the example project the docs use; the kit header compiles on its own from it,
# and the packaged example plug-in builds out of tree against it with its own toolchain file,
# with and without UNICODE. The example DLLs land in <out>/unicode-{ON,OFF}.
set -eu
build_dir=$2 out=$3 toolchain=$4 compiler=$5
rm -rf "$out"
mkdir -p "$out/zip"
cpack -G ZIP --config "$build_dir/CPackConfig.cmake" -B "$out/zip" >/dev/null
zip=$(ls "$out"/zip/*.zip)
(cd "$out" && cmake -E tar xf "$zip")
prefix=$out/$(basename "$zip" .zip)
[ -d "$prefix" ] || { echo "the ZIP does not unpack into $(basename "$prefix")/"; exit 1; }

missing=0
for file in README.md bin/Glo_core_proxy.dll bin/glo_driver.exe bin/glo_plugin_probe.exe \
    bin/glo_monitor.exe bin/glo_probe.exe bin/glo_cfgcheck.exe include/GloPluginSDK.h \
    include/GloPluginKit.h include/GloTextIds.h include/GloPluginTexts.h include/GloConfigPaths.h \
    cmake/mingw-common.cmake cmake/toolchain-x86_64-w64-mingw32.cmake \
    cmake/toolchain-i686-w64-mingw32.cmake examples/hello_plugin/CMakeLists.txt \
    examples/hello_plugin/HelloPlugin.cpp docs/plugin-sdk.md docs/trace-format.md; do
    [ -f "$prefix/$file" ] || { echo "the package lacks $file"; missing=1; }
done
for motion in push-away pull-towards slide-right slide-left tilt-forward tilt-back tilt-right \
    tilt-left twist-clockwise twist-anticlockwise button-0; do
    [ -f "$prefix/traces/starter/$motion.trace" ] || { echo "no starter trace $motion"; missing=1; }
done
[ -x "$prefix/scripts/try-plugin" ] || { echo "the package lacks scripts/try-plugin"; missing=1; }

# The paths the README names: code spans that start with a folder of the package, and what
# follows "<package>/" in its commands. A span's first word is the path (the rest: arguments).
named=$( { grep -o '`[^`]*`' "$prefix/README.md" | tr -d '`' | awk '{print $1}' |
    grep -E '^[A-Za-z_.-]+/' || true
    grep -o '<package>/[^ `]*' "$prefix/README.md" | sed 's|^<package>/||' || true; } | sort -u)
[ -n "$named" ] || { echo "the README names no path of the package"; missing=1; }
for path in $named; do
    [ -e "$prefix/$path" ] || { echo "the README names $path, which the package lacks"; missing=1; }
done
[ $missing -eq 0 ] || exit 1

# The kit alone, from the package's include folder (the example below uses it either way of
# UNICODE).
printf '#include "GloPluginKit.h"\n' >"$out/kit.cpp"
"$compiler" -std=c++17 -fsyntax-only -DUNICODE -D_UNICODE -I"$prefix/include" "$out/kit.cpp" ||
    { echo "GloPluginKit.h does not compile on its own from the package"; exit 1; }

# The example as the docs say: copied out of the package, built with the package's toolchain.
packaged=$prefix/cmake/$(basename "$toolchain")
cp -r "$prefix/examples/hello_plugin" "$out/my_plugin"
for unicode in ON OFF; do
    cmake -S "$out/my_plugin" -B "$out/build-$unicode" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$packaged" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_BUILD_TYPE=Release -DHELLO_UNICODE=$unicode >/dev/null
    cmake --build "$out/build-$unicode"
    mkdir -p "$out/unicode-$unicode"
    cp "$out/build-$unicode/hello_plugin.dll" "$out/unicode-$unicode/"
done
echo "package complete, its README's $(echo "$named" | wc -w) paths in it; the example" \
    "built from it, with and without UNICODE"
