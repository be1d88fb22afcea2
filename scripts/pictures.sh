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

# glo_config_dialog_pictures OUTDIR: opens the dialog through `glo_driver --config` on a virtual
# X display, with some of the shipped plug-ins and the cap model in a driver home of its own,
# while a trace moves the cap; saves OUTDIR/config-dialog.png (English user interface) and
# OUTDIR/config-dialog-de.png (German).
glo_config_dialog_pictures() (
    set -euo pipefail
    local out=$1 build=$GLO_BUILD_ROOT/x86_64
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    glo_x11_session "$build/wineprefix-x11"
    local work=$GLO_X11_WORK
    local home=$work/home
    mkdir -p "$home/Office/Plugins"
    cp "$build"/plugins/glo_{text_editor,word_processor,browser,generic}.dll "$home/Office/Plugins/"
    "$GLO_SOURCE_DIR/scripts/cap-model" "$home"
    wine reg add 'HKLM\SOFTWARE\Veltrana\Halcyra' /v 'Home Directory' \
        /d "$(winepath -w "$home")" /f >/dev/null 2>&1

    local lang name
    for lang in en_US de_DE; do
        name=config-dialog.png
        [ "$lang" = de_DE ] && name=config-dialog-de.png
        local log=$work/driver-$lang.log
        (cd "$build/bin" && env LANG="$lang.UTF-8" LC_ALL="$lang.UTF-8" timeout 60 \
            wine glo_driver.exe --config --close-after 300 \
            --log "$(winepath -w "$log")" \
            "$(winepath -w "$GLO_SOURCE_DIR/tools/driver/traces/config-dialog.trace")" \
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
