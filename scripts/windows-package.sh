# Sourced by scripts/windows: the Windows program folder, packed as an MSI (wixl) and a .zip.

# The DLLs a set of Windows binaries needs, found in the runtime folders, followed to the
# end (a DLL's own imports too); system DLLs are not there and are left out.
win_dll_closure() {
    local -A seen=()
    local queue=("$@") f dll dir
    IFS=';' read -r -a dirs <<<"$(win_runtime_dirs)"
    while [ ${#queue[@]} -gt 0 ]; do
        f="${queue[0]}"
        queue=("${queue[@]:1}")
        while read -r dll; do
            [ -n "${seen[$dll]:-}" ] && continue
            for dir in "${dirs[@]}"; do
                if [ -f "$dir/$dll" ]; then
                    seen[$dll]="$dir/$dll"
                    queue+=("$dir/$dll")
                    break
                fi
            done
        done < <($WIN_TRIPLE-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
    done
    printf '%s\n' "${seen[@]}"
}

# win_program_folder BUILD FOLDER: the folder an administrator gets, as installed.
win_program_folder() {
    local build="$1" folder="$2"
    rm -rf "$folder"
    mkdir -p "$folder"
    cmake --install "$build" --prefix "$folder" >/dev/null
    # Windows reads the compiled help; the settings name it.
    sed 's/Kestrum\.html/Kestrum.chm/' "$REPO/dist/Kestrum.ini" >"$folder/Kestrum.ini"
    cp "$REPO/dist/DNCAdminExportCopy.ini" "$folder/"
    rm -f "$folder/Kestrum.html"
    # The plug-ins Kestrum loads: the platform, the native style, both database drivers.
    local p
    for p in platforms/qwindows.dll styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll \
        sqldrivers/qsqlpsql.dll imageformats/qico.dll; do
        mkdir -p "$folder/$(dirname "$p")"
        cp "$WIN_PREFIX/plugins/$p" "$folder/$p"
    done
    local dll
    while read -r dll; do
        cp "$dll" "$folder/"
    done < <(win_dll_closure "$folder"/*.exe "$folder"/*/*.dll)
    printf '[Paths]\r\nPrefix=.\r\nPlugins=.\r\n' >"$folder/qt.conf"
    $WIN_TRIPLE-strip --strip-unneeded "$folder"/*.exe "$folder"/*.dll "$folder"/*/*.dll
    # An empty configuration database, made by the tool that ships beside the program.
    (cd "$folder" && wine kestrum-newinstall.exe . >/dev/null)
}

# A stable identifier of one packed file, so an upgrade replaces the same component.
win_guid() {
    local h
    h="$(printf 'kestrum:%s' "$1" | sha1sum)"
    echo "${h:0:8}-${h:8:4}-5${h:13:3}-8${h:17:3}-${h:20:12}" | tr a-f A-F
}

win_wxs() {
    local folder="$1" version="$2"
    local id f rel dirs
    cat <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Kestrum" Language="1033" Version="$version" Manufacturer="Kestrum"
           UpgradeCode="6B3F0C52-8E1A-4D57-9A64-2F0E51C7D3A9">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Description="Kestrum $version, DNC administration"/>
    <MajorUpgrade DowngradeErrorMessage="A newer Kestrum is already installed."/>
    <Media Id="1" Cabinet="kestrum.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="WindowsVolume">
        <Directory Id="INSTALLDIR" Name="Kestrum">
EOF
    for f in $(cd "$folder" && find . -maxdepth 1 -type f | sort); do
        rel="${f#./}"
        id="f_$(echo "$rel" | tr -c 'A-Za-z0-9_\n' '_')"
        echo "          <Component Id=\"c${id}\" Guid=\"$(win_guid "$rel")\" Win64=\"yes\">"
        echo "            <File Id=\"${id}\" Name=\"$rel\" Source=\"$rel\" KeyPath=\"yes\"/>"
        echo "          </Component>"
    done
    for dirs in $(cd "$folder" && find . -mindepth 1 -maxdepth 1 -type d | sort); do
        dirs="${dirs#./}"
        echo "          <Directory Id=\"d_$dirs\" Name=\"$dirs\">"
        for f in $(cd "$folder/$dirs" && find . -maxdepth 1 -type f | sort); do
            rel="$dirs/${f#./}"
            id="f_$(echo "$rel" | tr -c 'A-Za-z0-9_\n' '_')"
            echo "            <Component Id=\"c${id}\" Guid=\"$(win_guid "$rel")\" Win64=\"yes\">"
            echo "              <File Id=\"${id}\" Name=\"${f#./}\" Source=\"$rel\" KeyPath=\"yes\"/>"
            echo "            </Component>"
        done
        echo "          </Directory>"
    done
    cat <<EOF
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Directory Id="d_menu" Name="Kestrum">
          <Component Id="c_shortcut" Guid="$(win_guid shortcut)" Win64="yes">
            <Shortcut Id="s_kestrum" Name="Kestrum" Description="DNC administration"
                      Target="[INSTALLDIR]Kestrum.exe" WorkingDirectory="INSTALLDIR"/>
            <RemoveFolder Id="d_menu" On="uninstall"/>
            <RegistryValue Root="HKLM" Key="Software\\Kestrum" Name="StartMenu" Type="integer"
                           Value="1" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Kestrum" Level="1">
EOF
    (cd "$folder" && find . -type f | sort) | while read -r f; do
        rel="${f#./}"
        echo "      <ComponentRef Id=\"cf_$(echo "$rel" | tr -c 'A-Za-z0-9_\n' '_')\"/>"
    done
    cat <<EOF
      <ComponentRef Id="c_shortcut"/>
    </Feature>
  </Product>
</Wix>
EOF
}

# The administrator's files: an upgrade never overwrites them and an uninstall leaves them.
WIN_KEPT_FILES=(DNC.mdb Kestrum.ini DNCAdminExportCopy.ini)

win_version() { sed -n 's/^project(Kestrum VERSION \([0-9.]*\).*/\1/p' "$REPO/CMakeLists.txt"; }

win_package() {
    local build="$1" out="$2"
    local version
    version="$(win_version)"
    local stage="$out/Kestrum"
    mkdir -p "$out"
    win_log "Program folder $stage"
    [ -n "${WINEPREFIX:-}" ] || { trap 'win_wine_stop' EXIT; win_wine_start >/dev/null; }
    win_program_folder "$build" "$stage"
    local msi="$out/Kestrum-$version-x64.msi"
    win_wxs "$stage" "$version" >"$out/Kestrum.wxs"
    rm -f "$msi"
    # Sources are named relative to the program folder.
    (cd "$stage" && wixl -a x64 -o "$msi" "$out/Kestrum.wxs")
    # wixl cannot mark components permanent: set the Permanent (16) and NeverOverwrite (128)
    # bits in the package's Component table.
    local idt="$out/idt"
    rm -rf "$idt" && mkdir -p "$idt"
    msiinfo export "$msi" Component >"$idt/Component.idt"
    local f
    for f in "${WIN_KEPT_FILES[@]}"; do
        awk -F'\t' -v OFS='\t' -v c="cf_$(echo "$f" | tr -c 'A-Za-z0-9_\n' '_')" \
            'NR > 3 && $1 == c { $4 = $4 + 144 } { print }' "$idt/Component.idt" >"$idt/c.new"
        mv "$idt/c.new" "$idt/Component.idt"
    done
    msibuild "$msi" -i "$idt/Component.idt"
    rm -rf "$idt"
    (cd "$out" && rm -f "Kestrum-$version-x64.zip" && zip -qr "Kestrum-$version-x64.zip" Kestrum)
    win_log "$(du -h "$msi" | cut -f1) $msi"
    win_log "$(du -h "$out/Kestrum-$version-x64.zip" | cut -f1) $out/Kestrum-$version-x64.zip"
}
