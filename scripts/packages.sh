# Installs the Debian packages the build, the tests and the demo need,
# when they are not there yet. Sourced by scripts/test, scripts/fuzz and
# scripts/demo.
# dpkg-dev and file: cpack's Debian package with dependencies found by
# dpkg-shlibdeps; systemd: systemd-analyze for the unit files; help2man: the
# tools' manual pages; lintian: the package test; man-db: the package test
# of the manual pages; clang-format: the layout check of the sources.
SSTRXV_PACKAGES=(cmake make g++ pkg-config libmariadb-dev libgtest-dev mariadb-server mariadb-client
                 dpkg-dev file systemd help2man lintian man-db clang-format)
# The fuzz targets: clang and its runtime libraries, libFuzzer among them.
SSTRXV_FUZZ_PACKAGES=(clang libclang-rt-dev)

ensure_packages() {  # ensure_packages [further packages...]
    local missing=()
    local p
    for p in "${SSTRXV_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing Debian packages with apt-get: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        install_without_services "$sudo" "${missing[@]}"
    fi
}

# The database server the tests and the demo start is a private one in the
# build tree. Debian starts (and enables) the mariadb-server package's own
# service on installation where systemd runs; that service must not be left
# running or enabled on a host that did not have it. While apt-get runs, a
# policy-rc.d that answers 101 ("action forbidden") keeps every service of the
# installed packages from being started (deb-systemd-invoke and invoke-rc.d
# ask it); one that is already there is left as it is. Afterwards the server's
# service, when this installation brought it, is disabled again.
install_without_services() {  # install_without_services SUDO PACKAGE...
    local sudo=$1
    shift
    local policy=/usr/sbin/policy-rc.d placed=0 status=0 server_before=0
    dpkg-query -W -f='${Status}' mariadb-server 2>/dev/null | grep -q 'install ok installed' && server_before=1
    if [ ! -e "$policy" ] && [ ! -L "$policy" ]; then
        echo "== no service is started during the installation ($policy answers 101 until it ends)"
        $sudo sh -c 'set -C; printf "#!/bin/sh\nexit 101\n" >"$1" && chmod 0755 "$1"' sh "$policy" && placed=1
    fi
    $sudo apt-get update -qq || status=$?
    if [ $status -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null \
            || status=$?
    fi
    [ $placed -eq 0 ] || $sudo rm -f "$policy"
    if [ $server_before -eq 0 ] && dpkg-query -W -f='${Status}' mariadb-server 2>/dev/null | grep -q 'install ok installed'; then
        echo "== mariadb-server was installed for the private test server: its service stays stopped and disabled"
        if command -v systemctl >/dev/null; then
            [ ! -d /run/systemd/system ] || $sudo systemctl stop mariadb.service >/dev/null 2>&1 || true
            $sudo systemctl disable mariadb.service >/dev/null 2>&1 || true
        fi
        if [ -x /etc/init.d/mariadb ] && command -v update-rc.d >/dev/null; then
            $sudo update-rc.d mariadb disable >/dev/null 2>&1 || true
        fi
    fi
    return $status
}

# A locale with a decimal comma, so that the tests of the balance number
# texts also run where the process locale would write "12,5".
ensure_comma_locale() {
    locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    ensure_packages locales
    echo "== generating locale de_DE.UTF-8"
    $sudo localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
}

build() {  # build DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
