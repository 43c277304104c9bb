# Sourced by scripts/windows: the Windows tools under Wine and the Linux tools on the same
# database and base must write byte-identical DNCAdmin.ini files (export and merge).

win_cross_check() {
    local linux="$REPO/build-test/tools" win="$REPO/build-windows/tools"
    if [ ! -x "$linux/dncadmin/kestrum-dncadmin" ]; then
        echo "The Linux build (scripts/test) is missing: run it first for the comparison." >&2
        return 1
    fi
    local dir
    dir="$(mktemp -d /tmp/kestrum-cross.XXXXXX)"
    mkdir -p "$dir/linux/MASTER" "$dir/windows/MASTER"
    "$linux/import/kestrum-import" "$REPO/tests/transfer/data/DNC_sample_access.mdb" \
        "$dir/DNC.mdb" >/dev/null
    cp "$REPO/dist/DNCAdminExportCopy.ini" "$dir/base.ini"
    local server side failed=0
    for server in DNC-HALLE1 CELLSRV02 DNCSRV-NORD; do
        "$linux/dncadmin/kestrum-dncadmin" export --db "$dir/DNC.mdb" --server "$server" \
            --base "$dir/base.ini" --out "$dir/linux/$server.ini" >/dev/null
        wine "$win/dncadmin/kestrum-dncadmin.exe" export --db "$(win_path "$dir/DNC.mdb")" \
            --server "$server" --base "$(win_path "$dir/base.ini")" \
            --out "$(win_path "$dir/windows/$server.ini")" >/dev/null
    done
    "$linux/dncadmin/kestrum-dncadmin" merge --template "$dir/base.ini" --master "$dir/linux/MASTER" \
        "$dir"/linux/{DNC-HALLE1,CELLSRV02,DNCSRV-NORD}.ini >/dev/null
    wine "$win/dncadmin/kestrum-dncadmin.exe" merge --template "$(win_path "$dir/base.ini")" \
        --master "$(win_path "$dir/windows/MASTER")" \
        "$(win_path "$dir/windows/DNC-HALLE1.ini")" "$(win_path "$dir/windows/CELLSRV02.ini")" \
        "$(win_path "$dir/windows/DNCSRV-NORD.ini")" >/dev/null
    for side in DNC-HALLE1.ini CELLSRV02.ini DNCSRV-NORD.ini MASTER/DNCAdmin.ini; do
        if cmp -s "$dir/linux/$side" "$dir/windows/$side"; then
            echo "identical: $side ($(sha256sum <"$dir/linux/$side" | cut -c1-16))"
        else
            echo "DIFFERENT: $side" >&2
            diff <(od -c "$dir/linux/$side") <(od -c "$dir/windows/$side") | head -20 >&2
            failed=1
        fi
    done
    rm -rf "$dir"
    return $failed
}
