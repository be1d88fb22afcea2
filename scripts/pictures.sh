# Pictures of the configuration dialog, for the demo. Source after scripts/common.sh once the
# x86_64 build is done; needs xvfb and imagemagick (glo_picture_packages).
# shellcheck shell=bash

glo_picture_packages=(xvfb imagemagick)

# glo_x11_session PREFIX: inside a subshell, starts a virtual X display and makes PREFIX a Wine
# prefix with the X11 display driver on it (apart from the tests' headless one); exports
# DISPLAY, WINEPREFIX and GLO_X11_WORK (a scratch folder). Everything ends with the subshell.
glo_x11_session() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local display=90
    while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
        display=$((display + 1))
    done
    GLO_X11_WORK=$(mktemp -d)
    export GLO_X11_WORK
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    GLO_X11_SERVER=$!
    trap 'wineserver -k 2>/dev/null || true; kill "$GLO_X11_SERVER" 2>/dev/null &&
          wait "$GLO_X11_SERVER" 2>/dev/null; rm -rf "$GLO_X11_WORK"' EXIT
    export DISPLAY=:$display
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    if [ ! -f "$WINEPREFIX/.glo-ready" ]; then
        echo "== creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        LANG=en_US.UTF-8 wine wineboot -i >/dev/null 2>&1 || true
        # Every program on one virtual desktop of Wine's own, which draws the title bars (there
        # is no window manager) and lets programs find each other's windows.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
            >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.glo-ready"
    fi
}

# glo_install_package: inside glo_x11_session, installs the build's x64 package silently as an
# administrator does (msiexec /qn), with the diagnostic tools, and sets GLO_HOME to the folder
# it installed into (the home the core reads). An installed package is upgraded or kept.
glo_install_package() {
    local package=$GLO_BUILD_ROOT/x86_64/package/Glidora-$(glo_version)-x64.msi
    # Earlier demos named a home of their own here that is gone now: no driver's home.
    local named
    named=$(wine reg query 'HKLM\SOFTWARE\Veltrana\Halcyra' /v 'Home Directory' /reg:64 \
        2>/dev/null | tr -d '\r' | sed -n 's/^ *Home Directory *REG_[A-Z_]* *//p' || true)
    if [ -n "$named" ] && [ ! -d "$(winepath -u "$named" 2>/dev/null)" ]; then
        wine reg delete 'HKLM\SOFTWARE\Veltrana\Halcyra' /v 'Home Directory' /f /reg:64 \
            >/dev/null 2>&1
    fi
    if ! wine msiexec /i "$(winepath -w "$package")" ADDLOCAL=ALL /qn </dev/null >/dev/null 2>&1
    then
        echo "installing $package failed" >&2
        return 1
    fi
    local folder
    folder=$(wine reg query 'HKLM\SOFTWARE\Glidora' /v 'Install Folder' /reg:64 2>/dev/null |
        tr -d '\r' | sed -n 's/^ *Install Folder *REG_SZ *//p' || true)
    GLO_HOME=$(winepath -u "$folder")
    GLO_HOME=${GLO_HOME%/}
    echo "== installed $(basename "$package") into $folder"
}

# The project's version, as CMake has it.
glo_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$GLO_BUILD_ROOT/x86_64/CMakeCache.txt"
}

# glo_config_dialog_pictures OUTDIR: opens the dialog through the installed `glo_driver --config`
# on a virtual X display, with the installed plug-ins and cap model, while a trace moves the cap;
# saves OUTDIR/config-dialog.png (English user interface) and OUTDIR/config-dialog-de.png
# (German).
glo_config_dialog_pictures() (
    set -euo pipefail
    local out=$1 build=$GLO_BUILD_ROOT/x86_64
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    glo_x11_session "$build/wineprefix-x11"
    local work=$GLO_X11_WORK
    glo_install_package >/dev/null

    local lang name
    for lang in en_US de_DE; do
        name=config-dialog.png
        [ "$lang" = de_DE ] && name=config-dialog-de.png
        local log=$work/driver-$lang.log
        (cd "$GLO_HOME" && env LANG="$lang.UTF-8" LC_ALL="$lang.UTF-8" timeout 60 \
            wine glo_driver.exe --config --close-after 300 \
            --log "$(winepath -w "$log")" 'Traces\config-dialog.trace' \
            </dev/null >/dev/null 2>&1) &
        local driver=$! geometry=
        for _ in $(seq 300); do
            geometry=$(sed -n 's/.*configuration dialog open at \([-0-9]*\),\([-0-9]*\) size \([0-9]*\)x\([0-9]*\).*/\3x\4+\1+\2/p' "$log" 2>/dev/null || true)
            [ -n "$geometry" ] && break
            sleep 0.1
        done
        if [ -z "$geometry" ]; then
            echo "the configuration dialog did not open ($lang)" >&2
            cat "$log" >&2 2>/dev/null || true
            wait "$driver" || true
            return 1
        fi
        sleep 2.5 # the trace holds the cap deflected now
        import -window root -crop "$geometry" +repage "$out/$name"
        wait "$driver" || true
        echo "== $out/$name"
    done
)
