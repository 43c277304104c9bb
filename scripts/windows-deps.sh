# Sourced by scripts/windows: the Windows (x86_64, MinGW) libraries Kestrum links, built from
# Debian's own source packages and the two vendored tarballs, kept in a cache outside the
# checkout. Each library is rebuilt only when its recipe (sources, options) changed.

WIN_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine fonts-liberation msitools wixl fp-utils zip python3
    cmake ninja-build tcl autoconf automake libtool gettext bison flex pkg-config dpkg-dev
    qt6-base-dev qt6-base-dev-tools xvfb xauth xdotool imagemagick)
WIN_CACHE="${KESTRUM_WINDOWS_CACHE:-/var/cache/kestrum-windows}"
WIN_PREFIX="$WIN_CACHE/prefix"
WIN_TRIPLE=x86_64-w64-mingw32
QT_VERSION=6.4.2
SQLITE_SRC_VERSION=3.40.1-2+deb12u2
PG_SRC_VERSION=15.18-0+deb12u1
VENDOR="$REPO/../shared/vendor"
# Bumped by hand when a recipe below changes in a way the stamps cannot see.
WIN_RECIPE=1

win_log() { echo "[windows $(date +%H:%M:%S)] $*"; }

# Debian's source packages through a private apt configuration: a deb-src copy of the
# machine's own sources; the system's apt configuration is never touched.
win_apt_source() {
    local apt="$WIN_CACHE/apt"
    if [ ! -f "$apt/lists/.updated" ]; then
        mkdir -p "$apt/sources.list.d" "$apt/lists/partial"
        local f
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt/sources.list.d/$(basename "$f")"
        done
        if [ -f /etc/apt/sources.list ]; then
            sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt/sources.list.d/main.list"
        fi
        apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources.list.d" \
            -o Dir::State::Lists="$apt/lists" update >/dev/null
        touch "$apt/lists/.updated"
    fi
    (cd "$WIN_CACHE/src" && apt-get -q -o Dir::Etc::SourceList=/dev/null \
        -o Dir::Etc::SourceParts="$apt/sources.list.d" -o Dir::State::Lists="$apt/lists" \
        source --download-only "$@" >/dev/null)
}

# win_stamp_ok NAME RECIPE: true when NAME was built into the prefix with exactly RECIPE.
win_stamp_ok() { [ -f "$WIN_PREFIX/.stamp-$1" ] && [ "$(cat "$WIN_PREFIX/.stamp-$1")" = "$2" ]; }
win_stamp() { echo "$2" >"$WIN_PREFIX/.stamp-$1"; }

win_toolchain_file() {
    local f="$WIN_CACHE/mingw-toolchain.cmake"
    cat >"$f.new" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $WIN_TRIPLE-gcc-posix)
set(CMAKE_CXX_COMPILER $WIN_TRIPLE-g++-posix)
set(CMAKE_RC_COMPILER $WIN_TRIPLE-windres)
set(CMAKE_AR /usr/bin/$WIN_TRIPLE-gcc-ar-posix)
set(CMAKE_RANLIB /usr/bin/$WIN_TRIPLE-gcc-ranlib-posix)
set(CMAKE_FIND_ROOT_PATH /usr/$WIN_TRIPLE $WIN_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
    cmp -s "$f.new" "$f" && rm "$f.new" || mv "$f.new" "$f"
    echo "$f"
}

# SQLite as one DLL, shared by Qt's driver and Kestrum's own calls on the driver's handle:
# two copies of SQLite in one process must never work on one connection.
win_build_sqlite() {
    local recipe="sqlite $SQLITE_SRC_VERSION r$WIN_RECIPE"
    win_stamp_ok sqlite "$recipe" && return 0
    win_log "SQLite $SQLITE_SRC_VERSION"
    local dir="$WIN_CACHE/src/sqlite3-${SQLITE_SRC_VERSION%-*}"
    if [ ! -f "$dir/sqlite3.c" ]; then
        win_apt_source "sqlite3=$SQLITE_SRC_VERSION"
        rm -rf "$dir"
        (cd "$WIN_CACHE/src" && dpkg-source -x --no-check sqlite3_"$SQLITE_SRC_VERSION".dsc >/dev/null)
        (cd "$dir" && ./configure >/dev/null && make sqlite3.c >/dev/null)
    fi
    mkdir -p "$WIN_PREFIX/bin" "$WIN_PREFIX/lib" "$WIN_PREFIX/include"
    # The options Debian builds its libsqlite3 with that Kestrum and Qt rely on.
    $WIN_TRIPLE-gcc-posix -O2 -shared -o "$WIN_PREFIX/bin/sqlite3.dll" "$dir/sqlite3.c" \
        -DSQLITE_API='__declspec(dllexport)' -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_RTREE -DSQLITE_ENABLE_UNLOCK_NOTIFY \
        -DSQLITE_THREADSAFE=1 -DSQLITE_SECURE_DELETE \
        -Wl,--out-implib,"$WIN_PREFIX/lib/libsqlite3.dll.a"
    cp "$dir/sqlite3.h" "$dir/sqlite3ext.h" "$WIN_PREFIX/include/"
    win_stamp sqlite "$recipe"
}

# libpq only (the client library), without OpenSSL, readline, zlib or ICU.
win_build_libpq() {
    local recipe="libpq $PG_SRC_VERSION r$WIN_RECIPE"
    win_stamp_ok libpq "$recipe" && return 0
    win_log "libpq $PG_SRC_VERSION"
    local dir="$WIN_CACHE/src/postgresql-15-${PG_SRC_VERSION%-*}"
    if [ ! -d "$dir" ]; then
        win_apt_source "postgresql-15=$PG_SRC_VERSION"
        (cd "$WIN_CACHE/src" && dpkg-source -x --no-check postgresql-15_"$PG_SRC_VERSION".dsc \
            "$dir" >/dev/null)
    fi
    local b="$WIN_CACHE/build/libpq"
    rm -rf "$b" && mkdir -p "$b"
    (cd "$b" && "$dir/configure" --host=$WIN_TRIPLE --prefix="$WIN_PREFIX" \
        CC=$WIN_TRIPLE-gcc-posix --without-readline --without-zlib --without-icu \
        --without-openssl --without-gssapi --without-ldap >configure.log 2>&1) ||
        { tail -30 "$b/config.log" >&2; return 1; }
    (cd "$b" && make -C src/include -j"$(nproc)" >make.log 2>&1 &&
        make -C src/common -j"$(nproc)" >>make.log 2>&1 &&
        make -C src/port -j"$(nproc)" >>make.log 2>&1 &&
        make -C src/interfaces/libpq -j"$(nproc)" >>make.log 2>&1 &&
        make -C src/include install >>make.log 2>&1 &&
        make -C src/interfaces/libpq install >>make.log 2>&1) ||
        { tail -40 "$b/make.log" >&2; return 1; }
    # The driver and Kestrum look for the DLL in bin/ beside the others.
    [ -f "$WIN_PREFIX/lib/libpq.dll" ] && mv "$WIN_PREFIX/lib/libpq.dll" "$WIN_PREFIX/bin/"
    mkdir -p "$WIN_PREFIX/lib/pkgconfig"
    cat >"$WIN_PREFIX/lib/pkgconfig/libpq.pc" <<EOF
prefix=$WIN_PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: libpq
Description: PostgreSQL client library
Version: ${PG_SRC_VERSION%%-*}
Libs: -L\${libdir} -lpq
Cflags: -I\${includedir}
EOF
    win_stamp libpq "$recipe"
}

# libmdb (the Access reader) without glib, from the vendored mdbtools tarball.
win_build_libmdb() {
    local recipe="mdbtools 1.0.0 r$WIN_RECIPE"
    win_stamp_ok libmdb "$recipe" && return 0
    win_log "libmdb (mdbtools 1.0.0)"
    local dir="$WIN_CACHE/src/mdbtools-1.0.0"
    rm -rf "$dir"
    tar -xJf "$VENDOR/mdbtools-1.0.0.tar.xz" -C "$WIN_CACHE/src"
    win_patch_mdbtools "$dir"
    (cd "$dir" && autoreconf -i -f >autoreconf.log 2>&1) || { tail -20 "$dir/autoreconf.log" >&2; return 1; }
    (cd "$dir" && ./configure --host=$WIN_TRIPLE --prefix="$WIN_PREFIX" \
        CC=$WIN_TRIPLE-gcc-posix --disable-glib --disable-man --disable-iconv \
        --enable-shared --disable-static >configure.log 2>&1) ||
        { tail -30 "$dir/config.log" >&2; return 1; }
    (cd "$dir/src/libmdb" && make -j"$(nproc)" >make.log 2>&1 && make install >>make.log 2>&1) ||
        { tail -40 "$dir/src/libmdb/make.log" >&2; return 1; }
    (cd "$dir/include" && make install >/dev/null 2>&1)
    mkdir -p "$WIN_PREFIX/lib/pkgconfig"
    cp "$dir/libmdb.pc" "$WIN_PREFIX/lib/pkgconfig/"
    win_stamp libmdb "$recipe"
}

# Without iconv, libmdb turns Access text into the C library's multibyte text through a UTF-8
# locale that the MinGW C library does not have: every name with a letter beyond ASCII would
# come out empty. Convert to UTF-8 with the system's own call, as iconv does on Linux.
win_patch_mdbtools() {
    python3 - "$1/src/libmdb/iconv.c" <<'PATCH'
import sys
p = sys.argv[1]
s = open(p).read()
old = '    count = _wcstombs_l(dest, w, len_out, locale);\n'
new = ('    (void)locale;\n'
       '    {\n'
       '        int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, dest, (int)len_out + 1, NULL, NULL);\n'
       '        count = n > 0 ? (size_t)(n - 1) : (size_t)-1;\n'
       '    }\n')
if old not in s:
    sys.exit('patch point not found in ' + p)
s = s.replace(old, new).replace('#include <errno.h>', '#include <errno.h>\n#ifdef _WIN32\n#include <windows.h>\n#endif', 1)
open(p, 'w').write(s)
PATCH
}

# Qt's base modules Kestrum needs, and Qt Serial Port on top.
QT_FEATURES=(
    -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_network=OFF
    -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON -DFEATURE_sql_psql=ON
    -DFEATURE_sql_odbc=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF
    -DFEATURE_sql_db2=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_printsupport=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON
    -DFEATURE_accessibility=ON -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF)

win_build_qt() {
    local recipe="qtbase $QT_VERSION ${QT_FEATURES[*]} r$WIN_RECIPE"
    win_stamp_ok qtbase "$recipe" && return 0
    win_log "Qt $QT_VERSION (Core, Gui, Widgets, Sql, PrintSupport, Test): the long step"
    local dir="$WIN_CACHE/src/qt6-base-$QT_VERSION"
    if [ ! -d "$dir" ]; then
        win_apt_source qt6-base
        rm -rf "$dir.tmp"
        (cd "$WIN_CACHE/src" && dpkg-source -x --no-check qt6-base_*.dsc "$dir.tmp" >/dev/null)
        mv "$dir.tmp" "$dir"
        win_patch_qt "$dir"
    fi
    local tc
    tc="$(win_toolchain_file)"
    local b="$WIN_CACHE/build/qtbase"
    rm -rf "$b"
    cmake -G Ninja -S "$dir" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$WIN_PREFIX" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DSQLite3_INCLUDE_DIR="$WIN_PREFIX/include" \
        -DSQLite3_LIBRARY="$WIN_PREFIX/lib/libsqlite3.dll.a" \
        -DPostgreSQL_INCLUDE_DIR="$WIN_PREFIX/include" \
        -DPostgreSQL_LIBRARY="$WIN_PREFIX/lib/libpq.a" \
        -DPostgreSQL_TYPE_INCLUDE_DIR="$(dirname "$(dirname "$(find "$WIN_PREFIX/include" -path '*/catalog/pg_type.h' | head -n 1)")")" \
        "${QT_FEATURES[@]}" >"$WIN_CACHE/build/qtbase-configure.log" 2>&1 ||
        { tail -60 "$WIN_CACHE/build/qtbase-configure.log" >&2; return 1; }
    cmake --build "$b" --parallel "$(nproc)" >"$WIN_CACHE/build/qtbase-build.log" 2>&1 ||
        { grep -B5 -A20 'FAILED\|error:' "$WIN_CACHE/build/qtbase-build.log" | head -80 >&2; return 1; }
    cmake --install "$b" >/dev/null
    win_stamp qtbase "$recipe"
    rm -rf "$b"
}

# Three faults of Qt 6.4.2 with OpenGL and Direct2D off: code those features leave unbuilt is
# still used. Each is one guard.
win_patch_qt() {
    local dir="$1"
    python3 - "$dir" <<'EOF'
import re, sys
root = sys.argv[1]
def guard(path, old, new):
    p = root + '/' + path
    s = open(p).read()
    if new in s:
        return
    if old not in s:
        sys.exit('patch point not found in ' + path + ': ' + old)
    open(p, 'w').write(s.replace(old, new))
guard('src/plugins/platforms/windows/qwindowswindow.cpp',
      '#if QT_CONFIG(dynamicgl)', '#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)')
guard('src/plugins/platforms/windows/qwindowsintegration.cpp',
      '#if QT_CONFIG(directwrite3)', '#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)')
guard('src/printsupport/platform/windows/qprintengine_win.cpp',
      '#if QT_CONFIG(directwrite)\n', '#if QT_CONFIG(directwrite) && QT_CONFIG(direct2d)\n')
EOF
}

win_build_serialport() {
    local recipe="qtserialport $QT_VERSION r$WIN_RECIPE"
    win_stamp_ok qtserialport "$recipe" && return 0
    win_log "Qt Serial Port $QT_VERSION"
    local dir="$WIN_CACHE/src/qtserialport-everywhere-src-$QT_VERSION"
    rm -rf "$dir"
    tar -xJf "$VENDOR/qtserialport-everywhere-src-$QT_VERSION.tar.xz" -C "$WIN_CACHE/src"
    local b="$WIN_CACHE/build/qtserialport"
    rm -rf "$b"
    cmake -G Ninja -S "$dir" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$WIN_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF \
        >"$WIN_CACHE/build/qtserialport.log" 2>&1 &&
        cmake --build "$b" --parallel "$(nproc)" >>"$WIN_CACHE/build/qtserialport.log" 2>&1 &&
        cmake --install "$b" >/dev/null ||
        { tail -40 "$WIN_CACHE/build/qtserialport.log" >&2; return 1; }
    win_stamp qtserialport "$recipe"
    rm -rf "$b"
}

win_dependencies() {
    mkdir -p "$WIN_CACHE/src" "$WIN_CACHE/build" "$WIN_PREFIX"
    win_build_sqlite
    win_build_libpq
    win_build_qt
    win_build_serialport
    win_build_libmdb
    # Only the built libraries and the downloaded sources are kept: a step whose recipe
    # changes unpacks its sources again, and the cache stays small enough to carry.
    find "$WIN_CACHE/src" -mindepth 1 -maxdepth 1 -type d -exec rm -rf {} +
    rm -rf "$WIN_CACHE/build/libpq"
}
