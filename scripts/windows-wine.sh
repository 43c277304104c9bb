# Sourced by scripts/windows: a private Wine prefix for one run, set to report Windows 10
# (Qt 6 refuses older versions), with the Windows libraries on its search path.

# The folders holding the DLLs a Windows build of Kestrum loads (Qt, SQLite, libpq, libmdb,
# the MinGW runtime), ';'-separated for CMake.
win_runtime_dirs() {
    local gcc_dir
    gcc_dir="$(dirname "$($WIN_TRIPLE-g++-posix -print-file-name=libstdc++-6.dll)")"
    echo "$WIN_PREFIX/bin;$gcc_dir;/usr/$WIN_TRIPLE/lib"
}

# Windows path text of a Linux path, through Wine's drive Z: (the Linux root).
win_path() { printf 'Z:%s' "${1//\//\\}"; }

WIN_WINE_DIR=""
win_wine_start() {
    WIN_WINE_DIR="$(mktemp -d /tmp/kestrum-wine.XXXXXX)"
    export WINEPREFIX="$WIN_WINE_DIR/prefix"
    export WINEDEBUG=-all
    # No Mono or Gecko: nothing here may ask to download them.
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    export WINEARCH=win64
    local dirs="" d
    IFS=';' read -r -a runtime <<<"$(win_runtime_dirs)"
    for d in "${runtime[@]}"; do dirs+="$(win_path "$d");"; done
    export WINEPATH="${dirs%;}"
    wineboot --init >"$WIN_WINE_DIR/wineboot.log" 2>&1 || { cat "$WIN_WINE_DIR/wineboot.log" >&2; return 1; }
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1
    wineserver -w
    echo "Wine prefix: $WINEPREFIX (Windows 10)"
}

win_wine_stop() {
    [ -n "$WIN_WINE_DIR" ] || return 0
    [ -n "${PTY_CAPTURE_PID:-}" ] && kill "$PTY_CAPTURE_PID" 2>/dev/null
    [ -n "${PG_RESTART_RELAY_PID:-}" ] && kill "$PG_RESTART_RELAY_PID" 2>/dev/null
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WIN_WINE_DIR"
    WIN_WINE_DIR=""
}

# COM7 of the Wine prefix is a pseudo-terminal whose other side is kept in a file: the tests
# check what Kestrum writes to a system COM port (Wine does not pass reads on to the port).
win_com_port() {
    local capture="$WIN_WINE_DIR/com7.received" device
    : >"$capture"
    coproc PTY_CAPTURE { exec "$REPO/scripts/pty-capture" "$capture"; }
    read -r device <&"${PTY_CAPTURE[0]}"
    wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$device" /f >/dev/null 2>&1
    # The server reads the ports at its start.
    wineserver -k || true
    wineserver -w
    export KESTRUM_TEST_COM7_CAPTURE
    KESTRUM_TEST_COM7_CAPTURE="$(win_path "$capture")"
    echo "COM7: $device"
}

# A Windows test cannot start the Linux pg_ctl: this relay restarts the private server when a
# test leaves a request file in its folder, and answers with the exit code and output.
win_pg_restart_relay() {
    local dir="$WIN_WINE_DIR/pg-restart"
    mkdir -p "$dir"
    (
        while sleep 0.2; do
            [ -e "$dir/request" ] || continue
            rm -f "$dir/request"
            local out rc=0
            # shellcheck disable=SC2086 # the command is words, as the Linux tests split it
            out="$($KESTRUM_TEST_PG_CTL restart -m fast -w 2>&1)" || rc=$?
            printf '%s\n%s\n' "$rc" "$out" >"$dir/done.part"
            mv "$dir/done.part" "$dir/done"
        done
    ) &
    PG_RESTART_RELAY_PID=$!
    export KESTRUM_TEST_PG_RESTART_RELAY
    KESTRUM_TEST_PG_RESTART_RELAY="$(win_path "$dir")"
}
