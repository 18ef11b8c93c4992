#!/usr/bin/env bash
# The Debian package, end to end.
#
#   package_test.sh build BUILD_DIR SOURCE_DIR WORK VERSION
#       builds the package with cpack into WORK/out, checks its dependencies
#       and file list, and unpacks it into WORK/root (the fixture "package")
#   package_test.sh run WORK
#       lays out a product tree in WORK/site, writes its settings file with the
#       installed sstrxv-encipher, and runs the installed SSTRXV with the
#       arguments of the installed service unit (instance MND) against the
#       test server (MYSQL_UNIX_PORT); checks the exit code and the file's bytes,
#       then the unit's metrics helper as it runs after that run
#   package_test.sh units WORK
#       systemd-analyze verify on the installed units, and the unit's writable
#       paths against the places the program writes to
#   package_test.sh lintian WORK VERSION HARDENED
#       lintian on the package: no error, no warning, and when the build has
#       the hardening flags (HARDENED 1; not Debug or sanitizer builds) no
#       hardening tag; the changelog names the version
#   package_test.sh manpages WORK
#       the tools' manual pages as man shows them keep the items of their
#       --help: every line indented by two blanks after the usage lines (an
#       option, a list item, an example record) begins a line of its own
#       with its tag (the text before the next two blanks), or whole
#   package_test.sh remove WORK
#       in a copy of the scratch root with two timers enabled, a drop-in and
#       a timer stamp: the maintainer scripts of removal disable the timers,
#       and those of purging leave nothing of the units behind
set -uo pipefail

UNIT_DIR=usr/lib/systemd/system
PROGRAM=/usr/bin/SSTRXV
METRICS=/usr/libexec/sstrxv/sstrxv-metrics

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The value of KEY= in a unit file (the last one, as systemd takes it).
unit_value() {
    sed -n "s/^$2=//p" "$1" | tail -n 1
}

# The service's command line for instance MND, as an array in "args".
service_args() {
    read -r -a args <<<"$(unit_value "$1" ExecStart | sed 's/%i/MND/g')"
}

do_build() {
    local build=$1 source=$2 work=$3 version=$4
    rm -rf "$work"
    mkdir -p "$work/out"
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 \
        || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
    local deb=("$work"/out/sstrxv_"$version"_*.deb)
    [ -f "${deb[0]}" ] || fail "no package sstrxv_${version}_*.deb in $work/out"

    dpkg-deb -f "$deb" Depends | grep -q 'libmariadb3' \
        || fail "dependencies lack the MariaDB client library: $(dpkg-deb -f "$deb" Depends)"
    local expected="./usr/bin/SSTRXV ./usr/bin/sstrxv-encipher ./usr/bin/sstrxv-imp ./usr/bin/sstrxv-check"
    expected+=" ./$UNIT_DIR/sstrxv@.service ./$UNIT_DIR/sstrxv@.timer .$METRICS"
    expected+=" ./usr/share/doc/sstrxv/README.md ./usr/share/doc/sstrxv/copyright ./usr/share/doc/sstrxv/changelog.gz"
    local example
    for example in system_schema.sql tenant_schema.sql demo_data.sql; do
        expected+=" ./usr/share/doc/sstrxv/examples/$example"
    done
    local program
    for program in SSTRXV sstrxv-encipher sstrxv-imp sstrxv-check; do
        expected+=" ./usr/share/man/man1/$program.1.gz"
    done
    [ -f "$source/docs/formats.md" ] && expected+=" ./usr/share/doc/sstrxv/formats.md"
    local got
    got=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
    [ "$got" = "$(tr ' ' '\n' <<<"$expected" | sort)" ] || fail "package contents differ:"$'\n'"$got"

    dpkg -x "$deb" "$work/root" || fail "dpkg -x failed"
    mkdir -p "$work/control"
    dpkg-deb -e "$deb" "$work/control" || fail "dpkg-deb -e failed"
}

do_lintian() {
    local work=$1 version=$2 hardened=$3
    command -v lintian >/dev/null || fail "lintian is not installed (scripts/packages.sh installs it)"
    local deb=("$work"/out/sstrxv_"$version"_*.deb) out code
    # Its exit status is not 0 after an error or warning tag, and when it
    # could not check. The hardening tags are only shown as information.
    out=$(lintian --fail-on error,warning --display-info --tag-display-limit 0 "${deb[0]}" 2>&1)
    code=$?
    echo "$out"
    [ $code -eq 0 ] && ! grep -q '^[EW]: ' <<<"$out" || fail "lintian reports errors or warnings (exit status $code)"
    [ "$hardened" != 1 ] || ! grep -q ' hardening-' <<<"$out" || fail "the programs lack hardening flags (dpkg-buildflags)"
    local first
    first=$(zcat "$work/root/usr/share/doc/sstrxv/changelog.gz" | head -n 1)
    [[ $first == "sstrxv ($version) "* ]] || fail "the changelog's latest entry is not $version: $first"
}

# The names below DIR of everything of the units' names.
unit_leftovers() {
    find "$1/etc/systemd" "$1/var/lib/systemd" -path '*sstrxv@*' 2>/dev/null | sed "s|^$1||" | sort
}

do_remove() {
    local work=$1
    local root=$work/removal
    rm -rf "$root"
    cp -a "$work/root" "$root"
    systemctl --root="$root" enable sstrxv@IDN.timer sstrxv@MND.timer >/dev/null 2>&1 \
        || fail "systemctl --root enable failed"
    [ "$(systemctl --root="$root" is-enabled sstrxv@IDN.timer 2>&1)" = enabled ] || fail "the timer is not enabled"
    mkdir -p "$root/etc/systemd/system/sstrxv@.service.d" "$root/var/lib/systemd/timers"
    printf '[Service]\nUser=melvarion\n' >"$root/etc/systemd/system/sstrxv@.service.d/override.conf"
    touch "$root/var/lib/systemd/timers/stamp-sstrxv@IDN.timer"

    # dpkg runs the scripts of another root with DPKG_ROOT set; no systemd runs there.
    DPKG_ROOT=$root sh "$work/control/prerm" remove || fail "prerm remove failed"
    local state
    for timer in sstrxv@IDN.timer sstrxv@MND.timer; do
        state=$(systemctl --root="$root" is-enabled "$timer" 2>&1)
        [ "$state" = disabled ] || fail "$timer is $state after prerm remove"
    done
    # dpkg removes the package's files, then runs postrm.
    rm -rf "$root/usr"
    DPKG_ROOT=$root sh "$work/control/postrm" remove || fail "postrm remove failed"
    [ "$(unit_leftovers "$root")" = "$(printf '%s\n' /etc/systemd/system/sstrxv@.service.d \
        /etc/systemd/system/sstrxv@.service.d/override.conf /var/lib/systemd/timers/stamp-sstrxv@IDN.timer)" ] \
        || fail "after removal (the administrator's drop-in and the stamp stay until purging):"$'\n'"$(unit_leftovers "$root")"
    DPKG_ROOT=$root sh "$work/control/postrm" purge || fail "postrm purge failed"
    [ -z "$(unit_leftovers "$root")" ] || fail "left behind after purging:"$'\n'"$(unit_leftovers "$root")"
}

do_run() {
    local work=$1
    local pkg=$work/root site=$work/site
    [ -n "${MYSQL_UNIX_PORT:-}" ] || fail "MYSQL_UNIX_PORT is not set"
    rm -rf "$site"
    mkdir -p "$site/Files" "$site/Melvarion_php/log" "$site/bin/run" "$site/transfer/Pollarix"

    local i=1 pair value
    for pair in "NET8=" "LOGIN=sstrxv" "PASS=sstrxv-secret"; do
        value=$("$pkg/usr/bin/sstrxv-encipher" "${pair#*=}") || fail "sstrxv-encipher failed"
        printf ';Datenbank;\r\n%d;%s;%s\r\n' "$i" "${pair%%=*}" "$value"
        i=$((i + 1))
    done >"$site/Files/Melvarion.Ini"

    mariadb --no-defaults --socket="$MYSQL_UNIX_PORT" -uroot -e "
        DELETE FROM MVSYSTEM.MVS112MND;
        INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDNA1, MNDSTA, MNDDAT, MNDERF, MNDKON, MNDSCH)
        VALUES ('00001', '00010', _latin1 0x4DFC6C6C6572, '1', '2026-03-01 06:15:09', NULL, 0, 'T1')" \
        || fail "inserting the tenant failed"

    local args
    service_args "$pkg/$UNIT_DIR/sstrxv@.service"
    [ "${args[0]}" = "$PROGRAM" ] || fail "ExecStart names ${args[0]}, the package holds $PROGRAM"
    args[0]=$pkg$PROGRAM
    (cd "$site/bin/run" && "${args[@]}" </dev/null >"$work/run.out" 2>&1)
    local code=$?
    [ $code -eq 0 ] || { cat "$work/run.out" "$site/Melvarion_php/log/sstrxv.log" >&2; fail "exit code $code"; }

    printf '%-5s%-5s%-50s%-5s%-14s%-50sx\r\n' 00001 00010 $'M\xFCller' 1 20260301061509 "" >"$work/expected.imp"
    cmp "$work/expected.imp" "$site/transfer/Pollarix/MND.imp" || fail "the file differs from $work/expected.imp"
    grep -q "Die Schnittstellendatei vom Dateityp 'MND' wurde erstellt!" "$site/Melvarion_php/log/sstrxv.log" \
        || fail "the run log has no success line"

    # The unit's metrics helper after the run, as systemd starts it there, into a scratch directory.
    local post
    read -r -a post <<<"$(unit_value "$pkg/$UNIT_DIR/sstrxv@.service" ExecStopPost | sed 's/%i/MND/g')"
    post[0]=$pkg${post[0]#-}
    post[${#post[@]} - 1]=$work/metrics
    rm -rf "$work/metrics" && mkdir -p "$work/metrics"
    (cd "$site/bin/run" && EXIT_CODE=exited EXIT_STATUS=0 SERVICE_RESULT=success "${post[@]}") \
        || fail "the metrics helper failed"
    grep -qx 'sstrxv_file_lines{unit="sstrxv@MND.service"} 1' "$work/metrics/sstrxv_MND.prom" \
        || fail "the metrics file does not count the file's line:"$'\n'"$(cat "$work/metrics/sstrxv_MND.prom")"
}

do_units() {
    local work=$1
    local pkg=$work/root units=$work/units f
    rm -rf "$units"
    mkdir -p "$units"
    # verify needs the program named in ExecStart: copies that name the unpacked one.
    for f in sstrxv@.service sstrxv@.timer; do
        sed -e "s|^ExecStart=$PROGRAM |ExecStart=$pkg$PROGRAM |" -e "s|=-$METRICS |=-$pkg$METRICS |" \
            "$pkg/$UNIT_DIR/$f" >"$units/$f" || fail "no $f"
    done

    # Unknown keys and bad values are only warnings: any line about the units fails.
    local out
    out=$(systemd-analyze verify --man=no "$units/sstrxv@MND.service" "$units/sstrxv@MND.timer" 2>&1) \
        || fail "systemd-analyze verify failed:"$'\n'"$out"
    ! grep -q 'sstrxv@' <<<"$out" || fail "systemd-analyze verify:"$'\n'"$out"

    # The program writes its file and its log relative to the working
    # directory; under ProtectSystem=strict both must be ReadWritePaths.
    local service=$units/sstrxv@.service wd args rw needed
    wd=$(unit_value "$service" WorkingDirectory)
    service_args "$service"
    read -r -a rw <<<"$(unit_value "$service" ReadWritePaths)"
    for needed in "$wd/$(dirname "${args[1]}")" "$wd/../../Melvarion_php/log"; do
        printf '%s\n' "${rw[@]#-}" | grep -qxF "$(realpath -m "$needed")" \
            || fail "$(realpath -m "$needed") is not among ReadWritePaths: ${rw[*]}"
    done
}

# The item lines of a --help text (after its usage lines), each cut to its
# tag and with runs of blanks as one.
help_items() {
    awk 'seen && /^  [^ ]/ { sub(/^  /, ""); sub(/  .*/, ""); gsub(/ +/, " "); print } /^$/ { seen = 1 }'
}

do_manpages() {
    local work=$1
    local pkg=$work/root tool page item
    command -v man >/dev/null || fail "man is not installed (scripts/packages.sh installs man-db)"
    for tool in sstrxv-encipher sstrxv-imp sstrxv-check; do
        page=$(LC_ALL=C MANWIDTH=100 man --nh --nj -l "$pkg/usr/share/man/man1/$tool.1.gz" 2>&1 \
            | sed 's/^ *//; s/  */ /g') || fail "man cannot show $tool.1.gz"
        while IFS= read -r item; do
            awk -v item="$item" 'substr($0, 1, length(item)) == item &&
                    (length($0) == length(item) || substr($0, length(item) + 1, 1) == " ") { found = 1 }
                END { exit !found }' <<<"$page" \
                || fail "$tool.1: '$item' of --help begins no line of the page:"$'\n'"$page"
        done < <("$pkg/usr/bin/$tool" --help | help_items)
    done
}

case "${1:-}" in
    build) do_build "$2" "$3" "$4" "$5" ;;
    run) do_run "$2" ;;
    units) do_units "$2" ;;
    lintian) do_lintian "$2" "$3" "$4" ;;
    manpages) do_manpages "$2" ;;
    remove) do_remove "$2" ;;
    *) fail "usage: $0 build BUILD_DIR SOURCE_DIR WORK VERSION | run WORK | units WORK | lintian WORK VERSION HARDENED | manpages WORK | remove WORK" ;;
esac
