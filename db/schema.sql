-- DNC.mdb: the configuration that the DNC servers read and Kestrum edits.
-- Keys never reuse a number (AUTOINCREMENT): a deleted client leaves rows behind, and a
-- reused id would hand them to a new client. Text compares without regard to letter case.
-- Yes/no columns hold -1 (true) or 0 (false).

CREATE TABLE t_dnc_servers (
    dnc_server_id   INTEGER PRIMARY KEY AUTOINCREMENT,
    dnc_server_name TEXT COLLATE NOCASE NOT NULL DEFAULT ''
);
CREATE INDEX ix_dnc_servers_name ON t_dnc_servers (dnc_server_name);

CREATE TABLE t_dnc_server_clients (
    client_id         INTEGER PRIMARY KEY AUTOINCREMENT,
    client_name       TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    dnc_server_id     INTEGER NOT NULL DEFAULT 0,
    NODE_ID           TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    PORT_ID           TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    protocol_id       INTEGER NOT NULL DEFAULT 2,
    com_ports         TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    terminal_enabled  INTEGER NOT NULL DEFAULT 0,
    alt_protocol_used INTEGER NOT NULL DEFAULT 0,
    alt_protocol      INTEGER NOT NULL DEFAULT 0,
    bts_used          INTEGER NOT NULL DEFAULT 0,
    bts_address       TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    bts_pin           TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    bts_eobdelay      INTEGER NOT NULL DEFAULT 0,
    bts_loop          INTEGER NOT NULL DEFAULT 0,
    bts_latency       INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_clients_name ON t_dnc_server_clients (client_name);
CREATE INDEX ix_clients_server ON t_dnc_server_clients (dnc_server_id, client_name);

CREATE TABLE t_client_mode (
    client_id   INTEGER NOT NULL,
    cnc_comport INTEGER NOT NULL DEFAULT 0,
    m_baud      INTEGER NOT NULL DEFAULT 9600,
    m_databits  INTEGER NOT NULL DEFAULT 7,
    m_parity    TEXT COLLATE NOCASE NOT NULL DEFAULT 'E',
    m_stopbits  INTEGER NOT NULL DEFAULT 2
);
CREATE INDEX ix_client_mode ON t_client_mode (client_id);

CREATE TABLE t_client_terminal_mode (
    client_id   INTEGER NOT NULL,
    tmode_id    INTEGER NOT NULL DEFAULT 0,
    line_length INTEGER NOT NULL DEFAULT 80,
    line_number INTEGER NOT NULL DEFAULT 24,
    char_delay  INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_client_terminal_mode ON t_client_terminal_mode (client_id);

CREATE TABLE t_filter_table_down (
    client_id        INTEGER NOT NULL,
    init             INTEGER NOT NULL DEFAULT 0,
    strip_1stpercent INTEGER NOT NULL DEFAULT 0,
    stop_Endpercent  INTEGER NOT NULL DEFAULT 0,
    strip_header     INTEGER NOT NULL DEFAULT 0,
    strip_all        INTEGER NOT NULL DEFAULT 0,
    leader           INTEGER NOT NULL DEFAULT 0,
    trailer          INTEGER NOT NULL DEFAULT 0,
    start_file_char  TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    end_file_char    TEXT COLLATE NOCASE NOT NULL DEFAULT ''
);
CREATE INDEX ix_filter_table_down ON t_filter_table_down (client_id);

CREATE TABLE t_filter_table_up (
    client_id       INTEGER NOT NULL,
    noparity_upload INTEGER NOT NULL DEFAULT 0,
    trim_percent    INTEGER NOT NULL DEFAULT 0,
    crlf_adj        INTEGER NOT NULL DEFAULT 0,
    start_file_char TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    end_file_char   TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    filesave_mode   TEXT COLLATE NOCASE NOT NULL DEFAULT ''
);
CREATE INDEX ix_filter_table_up ON t_filter_table_up (client_id);

CREATE TABLE t_timeout_table_down (
    client_id         INTEGER NOT NULL,
    init_timeout      INTEGER NOT NULL DEFAULT 60,
    interchar_timeout INTEGER NOT NULL DEFAULT 10,
    char_delay        INTEGER NOT NULL DEFAULT 0,
    eob_delay         INTEGER NOT NULL DEFAULT 0,
    char_buffer       INTEGER NOT NULL DEFAULT 256
);
CREATE INDEX ix_timeout_table_down ON t_timeout_table_down (client_id);

CREATE TABLE t_timeout_table_up (
    client_id    INTEGER NOT NULL,
    init_timeout INTEGER NOT NULL DEFAULT 60,
    up_timeout   INTEGER NOT NULL DEFAULT 10
);
CREATE INDEX ix_timeout_table_up ON t_timeout_table_up (client_id);

CREATE TABLE t_command (
    client_id INTEGER NOT NULL
);
CREATE INDEX ix_command ON t_command (client_id);

CREATE TABLE t_remote (
    rem_client_id      INTEGER NOT NULL,
    c_start_char       TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    c_end_char         TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    down_cmd_char      TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    up_cmd_char        TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    path_cmd_char      TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    down_n_offset_char TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    redirect_cmd_char  TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    kill_cmd_char      TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    files_cmd_char     TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    upload_report      INTEGER NOT NULL DEFAULT 0,
    report_name        TEXT COLLATE NOCASE NOT NULL DEFAULT ''
);
CREATE INDEX ix_remote ON t_remote (rem_client_id);

CREATE TABLE t_shopterm_clients (
    shopterm_id    INTEGER PRIMARY KEY AUTOINCREMENT,
    shop_client_id INTEGER NOT NULL DEFAULT 0,
    clients_id     INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_shopterm_shop ON t_shopterm_clients (shop_client_id, clients_id);
CREATE INDEX ix_shopterm_clients ON t_shopterm_clients (clients_id);

CREATE TABLE t_client_directory (
    dir_id            INTEGER PRIMARY KEY AUTOINCREMENT,
    client_id         INTEGER NOT NULL DEFAULT 0,
    directory_direct  TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    directory_alias   TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    dir_mode          INTEGER NOT NULL DEFAULT 3,
    explore_from_here INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_client_directory ON t_client_directory (client_id, directory_direct);

CREATE TABLE t_protocol (
    protocol_id   INTEGER PRIMARY KEY,
    protocol_name TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    protocol_dll  TEXT COLLATE NOCASE NOT NULL DEFAULT ''
);
CREATE INDEX ix_protocol_name ON t_protocol (protocol_name);

-- Kestrum's own tables (the DNC servers never read them). The statements between these
-- two marks also bring a database made before them up to date, so each is made only when
-- missing.
-- own tables begin
CREATE TABLE IF NOT EXISTS kestrum_change_log (
    change_id INTEGER PRIMARY KEY AUTOINCREMENT,
    changed_at  TEXT NOT NULL,
    computer    TEXT NOT NULL DEFAULT '',
    os_user     TEXT NOT NULL DEFAULT '',
    action      TEXT NOT NULL DEFAULT '',
    table_name  TEXT NOT NULL,
    operation   TEXT NOT NULL,
    row_key     TEXT NOT NULL DEFAULT '',
    server_id   INTEGER,
    server_name TEXT NOT NULL DEFAULT '',
    client_id   INTEGER,
    client_name TEXT NOT NULL DEFAULT '',
    changes     TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS ix_kestrum_change_log_at ON kestrum_change_log (changed_at);
-- own tables end

INSERT INTO t_protocol (protocol_id, protocol_name, protocol_dll) VALUES
    (1, 'NONE', ''),
    (2, 'XON', ''),
    (3, 'HW', ''),
    (4, 'BTR', ''),
    (5, 'SHOP TERMINAL', ''),
    (6, 'LINE TERMINAL', ''),
    (7, 'REMOTE', ''),
    (10, 'MAZATROL', '');
