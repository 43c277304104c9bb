# Run by scripts/windows on a virtual display (scripts/windows-install-check.sh MSI SHOTS-FOLDER):
# the MSI as an administrator uses it, under Wine on a virtual
# display: a silent install, Kestrum started from the installed folder (screenshots of the
# main window and the help), a changed DNC.mdb, and an uninstall that must leave it.

win_shot() { import -display "$DISPLAY" -window root "$1" 2>/dev/null; }

# win_wait_window TITLE: the X window of a Wine window with this title, within 60 s.
win_wait_window() {
    local i id
    for i in $(seq 1 120); do
        id="$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)"
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.5
    done
    return 1
}

win_install_check() {
    local msi="$1" shots="$2"
    local folder="$WINEPREFIX/drive_c/Kestrum"
    mkdir -p "$shots"
    win_log "install: msiexec /i $(basename "$msi") /qn"
    wine msiexec /i "$(win_path "$msi")" /qn || { echo "the install failed" >&2; return 1; }
    local f
    for f in Kestrum.exe Kestrum.chm Kestrum.ini DNCAdminExportCopy.ini DNC.mdb qt.conf \
        platforms/qwindows.dll sqldrivers/qsqlite.dll kestrum-dncadmin.exe; do
        [ -f "$folder/$f" ] || { echo "not installed: $f" >&2; return 1; }
    done
    find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kestrum/Kestrum.lnk' | grep -q . ||
        { echo "no Start-menu shortcut" >&2; return 1; }

    # The help viewer draws through Wine's MSHTML: let it load, without Gecko (Debian has
    # none, and nothing here may download it), so the window shows with an empty page.
    export WINEDLLOVERRIDES="mscoree="
    wine reg add 'HKCU\Software\Wine\MSHTML' /v GeckoUrl /t REG_SZ /d '' /f >/dev/null 2>&1
    win_log "Kestrum from C:\\Kestrum"
    (cd "$folder" && wine 'C:\Kestrum\Kestrum.exe' >/dev/null 2>&1) &
    local pid=$! main
    main="$(win_wait_window 'Kestrum - TolvaneDNC administration')" ||
        { echo "Kestrum's main window did not show" >&2; return 1; }
    sleep 2
    win_shot "$shots/main-window.png"
    # Help, Help on Kestrum: the platform's viewer shows Kestrum.chm. Without a window
    # manager a click gives the window the keyboard.
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    sleep 0.5
    xdotool key alt+h
    sleep 1
    xdotool key e
    if win_wait_window 'Kestrum Help' >/dev/null; then
        sleep 8  # the viewer fills its contents pane after it shows
        win_shot "$shots/help-window.png"
    else
        echo "the help window did not show" >&2
        wineserver -k
        return 1
    fi
    wineserver -k
    wait "$pid" 2>/dev/null || true

    # The administrator's changes: the uninstall must keep them.
    python3 -c "import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); \
c.execute(\"INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1')\"); c.commit()" \
        "$folder/DNC.mdb"
    printf '[ADMIN]\r\nOS=64\r\n' >>"$folder/Kestrum.ini"
    local kept
    kept="$(cd "$folder" && sha256sum DNC.mdb Kestrum.ini)"
    win_log "uninstall: msiexec /x $(basename "$msi") /qn"
    wine msiexec /x "$(win_path "$msi")" /qn || { echo "the uninstall failed" >&2; return 1; }
    [ ! -e "$folder/Kestrum.exe" ] || { echo "the uninstall left Kestrum.exe" >&2; return 1; }
    [ "$(cd "$folder" && sha256sum DNC.mdb Kestrum.ini)" = "$kept" ] ||
        { echo "the uninstall removed or changed DNC.mdb or Kestrum.ini" >&2; return 1; }
    win_log "uninstalled; kept: $(cd "$folder" && ls | tr '\n' ' ')"
}

# Run as a program (xvfb-run does not hand exported shell functions on): the helpers it uses.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
    source "$(dirname "${BASH_SOURCE[0]}")/windows-deps.sh"
    source "$(dirname "${BASH_SOURCE[0]}")/windows-wine.sh"
    source "$(dirname "${BASH_SOURCE[0]}")/windows-package.sh"
    win_install_check "$@"
fi
