#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for weibo-albums and builds it.
#   tools/bootstrap.sh run    install what is missing, build, start the program
#   tools/bootstrap.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    cmake g++ ninja-build pkg-config
    libpcre2-dev libcurl4-openssl-dev libjson-c-dev libsqlite3-dev libjpeg-dev libpng-dev
    libgtest-dev libgmock-dev libcpp-httplib-dev
)

install_missing() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build
}

case "${1:-}" in
    run)
        install_missing
        build
        echo "Built the engine libraries in build/; the desktop program is not part of this build yet."
        ;;
    test)
        install_missing
        build
        ctest --test-dir build --output-on-failure -j"$(nproc)"
        ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
