#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for weibo-albums and builds it.
#   tools/bootstrap.sh run    install what is missing, build, start the desktop program
#   tools/bootstrap.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    cmake g++ ninja-build pkg-config
    libpcre2-dev libcurl4-openssl-dev libjson-c-dev libsqlite3-dev libjpeg-dev libpng-dev
    libgtest-dev libgmock-dev libcpp-httplib-dev
    qt6-base-dev qt6-webengine-dev qt6-multimedia-dev libgl-dev
    gstreamer1.0-plugins-good fonts-noto-cjk xvfb xauth
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
        if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
            echo "No display: starting the window on a virtual one (xvfb-run)."
            exec xvfb-run -a -s "-screen 0 1280x800x24" build/src/shell/weibo-albums
        fi
        exec build/src/shell/weibo-albums
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
