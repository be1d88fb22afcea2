# Pictures of the configuration dialog, for the demo and the user's guide. Source after
# scripts/common.sh once the x86_64 build is done; needs glo_picture_packages.
# shellcheck shell=bash

glo_picture_packages=(xvfb imagemagick xdotool fonts-dejavu-core)

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

# glo_user_guide_pictures OUTDIR: the pictures of docs/user-guide.md, from the real dialog and a
# real program on a virtual X display, driven by keys as a user would press them (xdotool) while
# the substitute driver moves the cap:
#   cap-motions.png       the cap view for each of the six motions
#   dialog-overview.png   the dialog with TextEditor selected and the cap pushed away
#   assign-menu.png       the context menu of Page Down with its twelve directions
#   assigned.png          Page Down on a tilt to the right
#   dead-zone.png         its dead zone raised, the cap tilted right past where it counts
#   restore-defaults.png  the question before the built-in setups come back
#   speed.png             TextEditor's own speed raised and that of all programs lowered, the
#                         cap pushed away
#   keys.png              the key combination dialog of TextEditor, Ctrl+S pressed for button 0
#   notepad-push.png      notepad before and after the cap was pushed away for a second
glo_user_guide_pictures() (
    set -euo pipefail
    local out=$1 build=$GLO_BUILD_ROOT/x86_64
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    glo_x11_session "$build/wineprefix-x11"
    # The pictures start from the built-in setups and speeds: what an earlier run stored is gone.
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Glidora
    local work=$GLO_X11_WORK home=$GLO_X11_WORK/home
    mkdir -p "$home/Office/Plugins"
    cp "$build"/plugins/glo_{text_editor,trees_lists,word_processor,spreadsheet,presentation,mail,browser,pdf_viewer,layout,generic}.dll \
        "$home/Office/Plugins/"
    "$GLO_SOURCE_DIR/scripts/cap-model" "$home"
    wine reg add 'HKLM\SOFTWARE\Veltrana\Halcyra' /v 'Home Directory' \
        /d "$(winepath -w "$home")" /f >/dev/null 2>&1
    local probe=$build/bin/glo_probe.exe driver=0 dialog='' opened=0 run=0

    # open_dialog TRACE: the substitute driver with the dialog (English) and TRACE as live motion.
    open_dialog() {
        run=$((run + 1))
        local log=$work/driver-$run.log
        (cd "$build/bin" && env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 timeout 120 \
            wine glo_driver.exe --config --close-after 1000 --log "$(winepath -w "$log")" \
            "$(winepath -w "$1")" </dev/null >/dev/null 2>&1) &
        driver=$!
        dialog=
        for _ in $(seq 300); do
            dialog=$(sed -n 's/.*configuration dialog open at \([-0-9]*\),\([-0-9]*\) size \([0-9]*\)x\([0-9]*\).*/\3x\4+\1+\2/p' "$log" 2>/dev/null || true)
            [ -n "$dialog" ] && break
            sleep 0.1
        done
        [ -n "$dialog" ] || { echo "the configuration dialog did not open" >&2; return 1; }
        opened=$(date +%s%N)
        # The dialog in front: a click on its caption, the pointer parked away from it.
        local x y
        IFS='+' read -r _ x y <<<"$dialog"
        xdotool mousemove $((x + 120)) $((y + 8)) click 1 mousemove 1020 760
    }
    # at SECONDS: waits until that long after the dialog opened.
    at() {
        local now
        now=$(date +%s%N)
        sleep "$(awk -v t="$1" -v o="$opened" -v n="$now" \
            'BEGIN { d = t - (n - o) / 1e9; printf "%.3f", (d > 0 ? d : 0) }')"
    }
    keys() { xdotool key --delay 150 "$@"; }
    shot() { import -window root -crop "${2:-$dialog}" +repage "$out/$1"; echo "== $out/$1"; }
    close_dialog() { wait "$driver" || true; }
    # Trace files: "hold SECONDS X Y Z A B C" holds the cap (raw driver values), "rest SECONDS".
    trace() {
        local file=$work/$1.trace
        shift
        echo "rate 16" >"$file"
        while [ $# -gt 0 ]; do
            case $1 in
            hold) printf 'repeat %d\n  motion %s\nend\nzero\n' $(($2 * 1000 / 16)) "${*:3:6}" \
                      >>"$file"; shift 8 ;;
            rest) printf 'wait %d\n' $(($2 * 1000)) >>"$file"; shift 2 ;;
            esac
        done
        echo "$file"
    }
    # The last programs of the tree are WordProcessor, TreesAndLists and TextEditor, collapsed.
    select_text_editor() { keys End Up Up Right; }

    # The six motions, each held for two seconds; z and c are sent as the driver reports them,
    # with the opposite sign of the plug-ins' (and this guide's) convention.
    # Each one over a faint picture of the cap at rest.
    open_dialog "$(trace motions rest 2 hold 2 350 0 0 0 0 0 hold 2 0 350 0 0 0 0 \
        hold 2 0 0 -350 0 0 0 hold 2 0 0 0 350 0 0 hold 2 0 0 0 0 350 0 \
        hold 2 0 0 0 0 0 -350 rest 1)"
    local cap
    cap=$(wine "$probe" rect GdrConfigDialog 1004 2>/dev/null | tr -d '\r')
    at 1.5; shot cap-rest.png "$cap" >/dev/null
    local names=(x y z a b c) tiles=()
    for i in 0 1 2 3 4 5; do
        at "$(awk -v i="$i" 'BEGIN { printf "%.3f", 2 + i * 2.016 + 1.4 }')"
        shot "cap-${names[$i]}.png" "$cap" >/dev/null
        composite -blend 25 "$out/cap-rest.png" "$out/cap-${names[$i]}.png" \
            "$out/cap-${names[$i]}.png"
        tiles+=("$out/cap-${names[$i]}.png")
    done
    keys Escape
    close_dialog
    rm -f "$out/cap-rest.png"
    # A twist of a round cap shows little: an arrow along its near rim, which turns to the left.
    local size w h
    size=$(identify -format '%w %h' "${tiles[4]}")
    read -r w h <<<"$size"
    mogrify -stroke '#c03020' -strokewidth 3 -fill none \
        -draw "$(awk -v w="$w" -v h="$h" -v q="'" 'BEGIN {
            cx = w / 2; cy = h * 0.52; rx = w * 0.26; ry = h * 0.36; t = 150 * 3.14159265 / 180
            x = cx + rx * cos(t); y = cy + ry * sin(t)
            bx = rx * sin(t); by = -ry * cos(t); n = sqrt(bx * bx + by * by); bx /= n; by /= n
            c = cos(0.5); s = sin(0.5)
            printf "path %s", q
            for (a = 35; a <= 150; a += 5)
                printf "%s %d,%d ", a == 35 ? "M" : "L", cx + rx * cos(a * 3.14159265 / 180),
                    cy + ry * sin(a * 3.14159265 / 180)
            printf "M %d,%d L %d,%d L %d,%d%s", x + 14 * (bx * c - by * s),
                y + 14 * (bx * s + by * c), x, y, x + 14 * (bx * c + by * s),
                y + 14 * (-bx * s + by * c), q }')" \
        "${tiles[4]}"
    montage -font DejaVu-Sans -pointsize 15 -background white -geometry +8+8 -tile 3x2 \
        -label 'x+  slide right' "${tiles[0]}" -label 'y+  lift' "${tiles[1]}" \
        -label 'z+  push away' "${tiles[2]}" -label 'a+  tilt forward' "${tiles[3]}" \
        -label 'b+  twist clockwise' "${tiles[4]}" -label 'c+  tilt right' "${tiles[5]}" \
        "$out/cap-motions.png"
    rm -f "${tiles[@]}"
    echo "== $out/cap-motions.png"

    # Changing a mapping: Page Down of TextEditor onto a tilt to the right, its dead zone raised
    # while the cap tilts right, OK.
    open_dialog "$(trace steps rest 1 hold 2 0 0 -150 0 0 0 rest 10 hold 5 0 0 0 0 0 -200 rest 2)"
    at 0.3; select_text_editor
    at 2.2; shot dialog-overview.png
    at 3.2; keys Down Down Down Down Down # Page Down, below two functions with a setup each
    at 4.2; keys Menu Down Right
    at 5.2; shot assign-menu.png
    keys Down Down Down Down Down Down Down Down Down Down Return
    at 6.5; shot assigned.png
    keys Tab Next Next Next
    at 14.5; shot dead-zone.png
    keys Return
    close_dialog

    # Back to the built-in setups: the question, then Cancel twice.
    open_dialog "$(trace question rest 5)"
    at 0.3; select_text_editor
    at 1.5; keys alt+r
    at 2.5; shot restore-defaults.png
    keys Escape
    at 3.5; keys Escape
    close_dialog

    # How fast it goes: TextEditor's own speed two steps up, that of all programs one down, while
    # the cap is pushed away; Cancel keeps the speeds as they were.
    open_dialog "$(trace speed rest 1 hold 6 0 0 -200 0 0 0 rest 1)"
    at 0.3; select_text_editor
    at 1.2; keys Tab Tab Right Right Tab Left
    at 4.0; shot speed.png
    keys Escape
    close_dialog

    # Any key on a button: TextEditor's key dialog from the keyboard, Ctrl+S pressed into its
    # keys field for button 0; Cancel twice keeps the buttons as they were.
    open_dialog "$(trace keys rest 6)"
    at 0.3; select_text_editor
    at 1.2; keys alt+k
    at 2.2; keys Tab ctrl+s
    at 3.2; shot keys.png
    keys Escape
    at 4.0; keys Escape
    close_dialog

    # A real program: notepad with a long text, the cap pushed away for a second.
    local document=$work/document.txt
    for n in $(seq 1 600); do
        printf 'Line %d of a long document: the cap scrolls it line by line.\r\n' "$n"
    done >"$document"
    wine notepad "$(winepath -w "$document")" </dev/null >/dev/null 2>&1 &
    wine "$probe" focus Notepad >/dev/null 2>&1
    sleep 1
    local window
    window=$(wine "$probe" rect Notepad 0 2>/dev/null | tr -d '\r')
    shot notepad-before.png "$window" >/dev/null
    (cd "$build/bin" && timeout 60 wine glo_driver.exe \
        "$(winepath -w "$(trace push rest 1 hold 1 0 0 -260 0 0 0 rest 1)")" \
        </dev/null >/dev/null 2>&1) || true
    shot notepad-after.png "$window" >/dev/null
    wine "$probe" close Notepad >/dev/null 2>&1 || true
    montage -font DejaVu-Sans -pointsize 15 -background white -geometry +8+8 -tile 2x1 \
        -label 'before' "$out/notepad-before.png" \
        -label 'after the cap was pushed away for a second' "$out/notepad-after.png" \
        "$out/notepad-push.png"
    rm -f "$out/notepad-before.png" "$out/notepad-after.png"
    echo "== $out/notepad-push.png"
)
