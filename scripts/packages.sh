# Installs the Debian packages the build, the tests and the demo need,
# when they are not there yet. Sourced by scripts/test, scripts/fuzz and
# scripts/demo.
# dpkg-dev and file: cpack's Debian package with dependencies found by
# dpkg-shlibdeps; systemd: systemd-analyze for the unit files; help2man: the
# tools' manual pages; lintian: the package test; clang-format: the layout
# check of the sources.
SSTRXV_PACKAGES=(cmake make g++ pkg-config libmariadb-dev libgtest-dev mariadb-server mariadb-client
                 dpkg-dev file systemd help2man lintian clang-format)
# The fuzz targets: clang and its runtime libraries, libFuzzer among them.
SSTRXV_FUZZ_PACKAGES=(clang libclang-rt-dev)

ensure_packages() {  # ensure_packages [further packages...]
    local missing=()
    local p
    for p in "${SSTRXV_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
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
