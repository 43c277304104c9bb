# Shared by the scripts: package set-up and the build.
set -euo pipefail

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

BUILD_PACKAGES=(cmake g++ make ccache qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libqt6sql6-psql libpq-dev pkg-config libgl-dev libsqlite3-dev mdbtools-dev)

# Installs the Debian packages that are missing (as root, or through sudo).
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build <build-dir> <extra cmake arguments...>
build() {
    local dir="$1"
    shift
    # ccache keeps repeated builds (a second build folder, CI after a session) short.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$REPO" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}

# A private PostgreSQL server for one test run: its own data folder and socket in a temporary
# folder and a free port, run as the postgres user when we are root. Sets KESTRUM_TEST_PG to
# the URI of its maintenance database; stop_test_database removes it all.
TEST_PG_DIR=""
TEST_PG_AS=()
start_test_database() {
    local bin
    bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
    [ -x "$bin/initdb" ] || { echo "PostgreSQL server programs not found" >&2; return 1; }
    TEST_PG_DIR="$(mktemp -d /tmp/kestrum-pg.XXXXXX)"
    local user
    user="$(id -un)"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$TEST_PG_DIR"
        TEST_PG_AS=(runuser -u postgres --)
        user=postgres
    fi
    TEST_PG_BIN="$bin"
    "${TEST_PG_AS[@]}" "$bin/initdb" -D "$TEST_PG_DIR/data" --auth=trust --username="$user" \
        --locale=C --encoding=UTF8 >"$TEST_PG_DIR/initdb.log" 2>&1 ||
        { cat "$TEST_PG_DIR/initdb.log" >&2; return 1; }
    local port
    for port in $(shuf -i 20000-60000 -n 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
    done
    # Throw-away data: no waiting for the disk.
    "${TEST_PG_AS[@]}" "$bin/pg_ctl" -D "$TEST_PG_DIR/data" -l "$TEST_PG_DIR/server.log" -w \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$TEST_PG_DIR -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
        start >/dev/null || { cat "$TEST_PG_DIR/server.log" >&2; return 1; }
    export KESTRUM_TEST_PG="postgresql://$user@/postgres?host=$TEST_PG_DIR&port=$port"
    export KESTRUM_TEST_PG_CTL="${TEST_PG_AS[*]} $bin/pg_ctl -D $TEST_PG_DIR/data -l $TEST_PG_DIR/server.log"
    echo "PostgreSQL test server: $KESTRUM_TEST_PG"
}

stop_test_database() {
    [ -n "$TEST_PG_DIR" ] || return 0
    "${TEST_PG_AS[@]}" "$TEST_PG_BIN/pg_ctl" -D "$TEST_PG_DIR/data" -m immediate stop \
        >/dev/null 2>&1 || true
    rm -rf "$TEST_PG_DIR"
    TEST_PG_DIR=""
}
