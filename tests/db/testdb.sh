#!/usr/bin/env bash
# Private MariaDB server for the database tests.
#
#   testdb.sh start DIR   start a server with its data in DIR/data and load the
#                         system schema MVSYSTEM (tests/db/system_schema.sql)
#   testdb.sh stop DIR    shut the server down and remove DIR/data
#
# The server is reachable only through the socket DIR/mysqld.sock (no TCP port),
# reads no option files (--no-defaults everywhere), and uses its own data
# directory, pid file and logs under DIR, so a system-wide MariaDB service is
# neither needed nor touched. Files under DIR:
#   data/         data directory      mysqld.sock   socket
#   mysqld.pid    pid file            error.log     server log
#   install.log   output of mariadb-install-db
#
# Accounts after start:
#   root@localhost     no password, via the socket (for test setup)
#   sstrxv@localhost   password "sstrxv-secret", SELECT and EXECUTE on *.*
#                      (EXECUTE for the stored functions getdate and DAS)
#
# Server settings the exporter's statements rely on: lower_case_table_names=1
# (schema and table names in either case), sql_mode with PIPES_AS_CONCAT
# ('a'||'b' joins texts), server character set latin1. The server honours the
# character set a client asks for, as a production server does: the program
# itself arranges that values reach it unconverted.
#
# DIR belongs to one test run at a time: start records the process that
# called it (ctest, or the demo script) in DIR/owner, and start or stop from
# any other process is refused while that owner lives, so two test runs in
# one build tree cannot shut down each other's server.
#
# start when a server already answers on DIR/mysqld.sock and its owner is
# gone: that server is shut down and its data removed first, so every start
# gives a fresh database.
# start when DIR/data exists without a running server: the data directory is
# reused and the system schema is loaded again (MVSYSTEM is dropped first).
# stop when no server runs: only DIR/data is removed.
#
# Prints one line on success. On failure prints the reason and the end of
# DIR/error.log (or DIR/install.log) to stderr and exits non-zero.
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SCHEMA_SQL="$HERE/system_schema.sql"

START_TIMEOUT=60    # seconds to wait for the server to answer
STOP_TIMEOUT=30     # seconds to wait for the server to go away

APP_USER=sstrxv
APP_PASSWORD=sstrxv-secret

SQL_MODE="PIPES_AS_CONCAT,STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,NO_ENGINE_SUBSTITUTION"

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}

die() {
    echo "testdb: $*" >&2
    exit 1
}

show_log_tail() {
    local f
    for f in "$@"; do
        if [ -s "$f" ]; then
            echo "---- last lines of $f ----" >&2
            tail -n 25 "$f" >&2
        fi
    done
}

fail() {
    echo "testdb: $*" >&2
    show_log_tail "$DIR/error.log"
    echo "testdb: '$0 stop $DIR' removes the server and its data" >&2
    exit 1
}

[ $# -eq 2 ] || usage
CMD=$1
case "$CMD" in start|stop) ;; *) usage ;; esac
[ -n "$2" ] || usage
case "$2" in
    /*) DIR=$2 ;;
    *)  DIR=$PWD/$2 ;;
esac
DIR=${DIR%/}

DATA="$DIR/data"
OWNER="$DIR/owner"
SOCK="$DIR/mysqld.sock"
PIDFILE="$DIR/mysqld.pid"
ERRLOG="$DIR/error.log"
INSTLOG="$DIR/install.log"

# A Unix socket path has at most 107 bytes.
[ ${#SOCK} -le 107 ] || die "socket path too long (${#SOCK} > 107 bytes): $SOCK; use a shorter DIR"
mkdir -p "$DIR" || die "cannot create directory $DIR"

# The owner check and claim run under a lock on DIR, so that two starts at
# the same moment cannot both claim it.
exec 8>"$DIR/testdb.lock" || die "cannot create $DIR/testdb.lock"
flock -w 60 8 || die "$DIR is locked by another testdb.sh"

# The owner of DIR when it is another process that is still alive.
other_owner() {
    local owner
    owner=$(tr -dc '0-9' 2>/dev/null <"$OWNER") || return 1
    [ -n "$owner" ] && [ "$owner" != "$PPID" ] && kill -0 "$owner" 2>/dev/null || return 1
    echo "$owner"
}

if owner=$(other_owner); then
    die "$DIR is in use by another test run (process $owner, $(tr '\0' ' ' </proc/"$owner"/cmdline 2>/dev/null | cut -c1-80)); wait for it or use another build directory"
fi

ROOT_OPT=()
if [ "$(id -u)" -eq 0 ]; then
    ROOT_OPT=(--user=root)
fi

for tool in mariadb-install-db mariadbd mariadb-admin mariadb; do
    command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] \
        || die "$tool not found (install the Debian packages mariadb-server and mariadb-client)"
done
MARIADBD=$(command -v mariadbd 2>/dev/null || echo /usr/sbin/mariadbd)

admin() {
    mariadb-admin --no-defaults --socket="$SOCK" -uroot --connect-timeout=5 "$@"
}

client() {
    mariadb --no-defaults --socket="$SOCK" -uroot "$@"
}

server_answers() {
    [ -S "$SOCK" ] && admin ping >/dev/null 2>&1
}

# Pid of the server of DIR, if that process is alive and runs on DIR/data.
server_pid() {
    local pid
    [ -f "$PIDFILE" ] || return 1
    pid=$(tr -dc '0-9' <"$PIDFILE")
    [ -n "$pid" ] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    grep -qaF -- "--datadir=$DATA" "/proc/$pid/cmdline" 2>/dev/null || return 1
    echo "$pid"
}

wait_gone() {
    local pid=$1 limit=$2 i=0
    while kill -0 "$pid" 2>/dev/null; do
        [ $i -ge $((limit * 10)) ] && return 1
        sleep 0.1
        i=$((i + 1))
    done
    return 0
}

stop_server() {
    local pid
    pid=$(server_pid) || pid=""
    if server_answers; then
        admin shutdown >/dev/null 2>&1
    elif [ -n "$pid" ]; then
        kill -TERM "$pid" 2>/dev/null
    fi
    if [ -n "$pid" ]; then
        if ! wait_gone "$pid" "$STOP_TIMEOUT"; then
            kill -TERM "$pid" 2>/dev/null
            if ! wait_gone "$pid" 10; then
                kill -KILL "$pid" 2>/dev/null
                wait_gone "$pid" 10 || die "server (pid $pid) does not stop"
            fi
        fi
    else
        # No pid file (or a stale one): wait until the socket stops answering.
        local i=0
        while server_answers; do
            [ $i -ge $((STOP_TIMEOUT * 10)) ] && die "server on $SOCK does not stop and its pid is unknown"
            sleep 0.1
            i=$((i + 1))
        done
    fi
    rm -f "$SOCK" "$SOCK.lock" "$PIDFILE"
}

do_stop() {
    stop_server
    rm -rf "$DATA"
    rm -f "$OWNER"
}

do_start() {
    local t0 t1 i pid

    t0=$(date +%s%N)

    if server_answers || server_pid >/dev/null; then
        do_stop
    fi
    rm -f "$SOCK" "$SOCK.lock" "$PIDFILE"
    echo "$PPID" >"$OWNER"

    # A data directory without the privilege tables is a half-done install.
    if [ ! -f "$DATA/mysql/global_priv.frm" ] || [ ! -f "$DATA/mysql/db.frm" ]; then
        rm -rf "$DATA"
        if ! mariadb-install-db --no-defaults --datadir="$DATA" "${ROOT_OPT[@]}" \
                --auth-root-authentication-method=normal \
                --skip-test-db --skip-name-resolve \
                --lower-case-table-names=1 >"$INSTLOG" 2>&1; then
            echo "testdb: mariadb-install-db failed" >&2
            show_log_tail "$INSTLOG"
            rm -rf "$DATA"
            exit 1
        fi
    fi

    : >"$ERRLOG"
    # setsid + nohup: the server outlives the calling shell and its session.
    setsid nohup "$MARIADBD" --no-defaults \
        --datadir="$DATA" \
        --socket="$SOCK" \
        --pid-file="$PIDFILE" \
        --log-error="$ERRLOG" \
        "${ROOT_OPT[@]}" \
        --skip-networking \
        --lower-case-table-names=1 \
        --sql-mode="$SQL_MODE" \
        --character-set-server=latin1 \
        --collation-server=latin1_swedish_ci \
        --innodb-buffer-pool-size=64M \
        --innodb-flush-log-at-trx-commit=2 \
        --innodb-doublewrite=0 \
        --innodb-buffer-pool-dump-at-shutdown=0 \
        --innodb-buffer-pool-load-at-startup=0 \
        --skip-log-bin \
        </dev/null >/dev/null 2>&1 8>&- &
    pid=$!

    i=0
    until server_answers; do
        kill -0 "$pid" 2>/dev/null || fail "server exited during start-up"
        [ $i -ge $((START_TIMEOUT * 10)) ] && {
            kill -TERM "$pid" 2>/dev/null
            fail "server did not answer within $START_TIMEOUT s"
        }
        sleep 0.1
        i=$((i + 1))
    done

    # root must be reachable through the socket without a password.
    client -e "SELECT 1" >/dev/null 2>&1 \
        || fail "root cannot log in without password via $SOCK"

    client >/dev/null 2>"$DIR/setup.err" <<EOF || { cat "$DIR/setup.err" >&2; fail "creating the user $APP_USER failed"; }
DROP USER IF EXISTS ''@'localhost';
DROP USER IF EXISTS ''@'$(uname -n)';
CREATE OR REPLACE USER '$APP_USER'@'localhost' IDENTIFIED BY '$APP_PASSWORD';
GRANT SELECT, EXECUTE ON *.* TO '$APP_USER'@'localhost';
FLUSH PRIVILEGES;
EOF

    client <"$SCHEMA_SQL" >/dev/null 2>"$DIR/setup.err" \
        || { cat "$DIR/setup.err" >&2; fail "loading $SCHEMA_SQL failed"; }

    mariadb --no-defaults --socket="$SOCK" -u"$APP_USER" -p"$APP_PASSWORD" -D MVSYSTEM \
        -e "SELECT getdate(), DAS(SYSDATE())" >/dev/null 2>"$DIR/setup.err" \
        || { cat "$DIR/setup.err" >&2; fail "user $APP_USER cannot use MVSYSTEM"; }
    rm -f "$DIR/setup.err"

    t1=$(date +%s%N)
    i=$(( (t1 - t0) / 100000000 ))
    printf 'testdb: server ready on %s (%d.%d s)\n' "$SOCK" $((i / 10)) $((i % 10))
}

case "$CMD" in
    start) do_start ;;
    stop)  do_stop ;;
esac
