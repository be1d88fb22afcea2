# Shared by the project's scripts: installs what is missing, builds, prepares the Wine prefix.
# shellcheck shell=bash
set -euo pipefail

GLO_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
GLO_BUILD_ROOT=${GLO_BUILD_ROOT:-$GLO_SOURCE_DIR/build}
GLO_ARCHS=${GLO_ARCHS:-"i686 x86_64"}
export GLO_SOURCE_DIR GLO_BUILD_ROOT

glo_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
              binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 mingw-w64-tools
              wine64 wine googletest clang-format msitools wixl)

glo_install_dependencies() {
    local missing=()
    for p in "${glo_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

glo_build() {
    local extra_x86_64=()
    for arch in $GLO_ARCHS; do
        local dir=$GLO_BUILD_ROOT/$arch args=()
        [ "$arch" = i686 ] && args+=(-DGLO_BUILD_TESTS=OFF -DGLO_BUILD_BENCH=OFF)
        [ "$arch" = x86_64 ] && args+=("${extra_x86_64[@]}")
        [ -n "${GLO_CORE_DIRS:-}" ] && args+=("-DGLO_CORE_DIRS=$GLO_CORE_DIRS")
        [ -n "${GLO_TEST_AREAS:-}" ] && args+=("-DGLO_TEST_AREAS=$GLO_TEST_AREAS")
        echo "== building $arch in $dir"
        cmake -S "$GLO_SOURCE_DIR" -B "$dir" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$GLO_SOURCE_DIR/cmake/toolchain-$arch-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
        cmake --build "$dir" -j "$(nproc)"
        [ "$arch" = i686 ] && extra_x86_64+=("-DGLO_I686_DLL=$dir/bin/Glo_core_proxy.dll")
    done
    return 0
}

# A prefix of the build's own, with the headless display driver; one wineserver for the run.
glo_wine_prefix() {
    export WINEPREFIX=$GLO_BUILD_ROOT/x86_64/wineprefix
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/.glo-ready" ]; then
        echo "== creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        LANG=en_US.UTF-8 wine wineboot -i >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.glo-ready"
    fi
    wineserver -p 2>/dev/null || true  # already running is fine
    # Boot the prefix's services and desktop now, detached from CTest's output pipes: started by
    # the first test they would inherit its pipes and CTest would wait for them to close. Wine
    # closes a desktop a second or so after its last user has gone: one user holds it for the run.
    "$GLO_SOURCE_DIR/tests/hold_desktop.sh" "$GLO_BUILD_ROOT/x86_64/bin/glo_desktop_holder.exe" ||
        true
    wine wineboot </dev/null >/dev/null 2>&1 || true
    trap 'wineserver -k 2>/dev/null || true' EXIT
}
