# Installs the Debian packages the build, the tests and the demo need,
# when they are not there yet. Sourced by scripts/test and scripts/demo.
# dpkg-dev and file: cpack's Debian package with dependencies found by
# dpkg-shlibdeps; systemd: systemd-analyze for the unit files.
SSTRXV_PACKAGES=(cmake make g++ pkg-config libmariadb-dev libgtest-dev mariadb-server mariadb-client
                 dpkg-dev file systemd)

ensure_packages() {
    local missing=()
    local p
    for p in "${SSTRXV_PACKAGES[@]}"; do
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

build() {  # build DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
