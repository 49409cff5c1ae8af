#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for weibo-albums and builds it.
#   tools/bootstrap.sh run    install what is missing, build, start the desktop program
#   tools/bootstrap.sh test   install what is missing, build, run every test
#   tools/bootstrap.sh demo   the same as run, against a fake Weibo service on
#                             127.0.0.1 with a sample user, in a throw-away folder
#   tools/bootstrap.sh package
#                             build the Debian package build/weibo-albums_*.deb
#                             and check it in a throw-away root (CI runs this)
#   tools/bootstrap.sh fuzz [RUNS]
#                             build the libFuzzer harnesses with clang and run
#                             each over its seed corpus (default 10000 runs)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    cmake g++ ninja-build pkg-config
    libpcre2-dev libcurl4-openssl-dev libssl-dev libjson-c-dev libsqlite3-dev libjpeg-dev libpng-dev libsecret-1-dev libexiv2-dev
    libgtest-dev libgmock-dev libcpp-httplib-dev
    qt6-base-dev qt6-webengine-dev qt6-multimedia-dev libgl-dev qt6-translations-l10n
    gstreamer1.0-plugins-good fonts-noto-cjk xvfb xauth dbus-daemon
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

# Builds before this one kept the window in build/src/shell and the command
# line in build/src/cli, each with its settings, login and record stores
# beside it: they move beside the programs in build/bin once, the window's
# first, nothing there overwritten.
move_earlier_build_files() {
    local earlier entry
    for earlier in build/src/shell build/src/cli; do
        [ -d "$earlier" ] || continue
        mkdir -p build/bin
        for entry in "$earlier"/* "$earlier"/.[!.]*; do
            [ -e "$entry" ] || continue
            case "$(basename "$entry")" in weibo-albums | weibo-albums-cli | CMakeFiles | *.cmake | *.a | *_autogen) continue ;; esac
            [ -e "build/bin/$(basename "$entry")" ] || mv "$entry" build/bin/
        done
    done
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    move_earlier_build_files
    cmake --build build
}

case "${1:-}" in
    run)
        install_missing
        build
        if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
            echo "No display: starting the window on a virtual one (xvfb-run)."
            exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/weibo-albums
        fi
        exec build/bin/weibo-albums
        ;;
    test)
        install_missing
        build
        ctest --test-dir build --output-on-failure -j"$(nproc)"
        ;;
    demo)
        install_missing
        build
        demo=$(mktemp -d /tmp/weibo-albums-demo.XXXXXX)
        cp build/bin/weibo-albums build/bin/weibo-albums-cli "$demo/"
        # Today's site: https, a Secure login cookie, home pages built by script.
        # A second user whose photo service answers 504: the albums come from
        # the album tab of the user's page instead.
        build/tools/fake-weibo/fake-weibo --port 0 --user 1000000001:6:60:demo_user \
            --user 1000000002:3:40 --photo-service-down 1000000002 \
            --today "$demo/fake-weibo-ca.pem" >"$demo/fake-weibo.log" 2>&1 &
        fake=$!
        trap 'kill $fake 2>/dev/null' EXIT
        for _ in $(seq 50); do grep -q "listening on" "$demo/fake-weibo.log" && break; sleep 0.1; done
        base=$(sed -n 's/^fake-weibo listening on //p' "$demo/fake-weibo.log")
        [ -n "$base" ] || { echo "The fake Weibo service did not start:" >&2; cat "$demo/fake-weibo.log" >&2; exit 1; }
        printf '[服务地址]\n微博首页=%s/\n相册服务=%s\n官网=%s\n证书=%s\n\n[全局设置]\n保存位置=%s/下载\n' \
            "$base" "$base" "$base" "$demo/fake-weibo-ca.pem" "$demo" >"$demo/配置.ini"
        # Both demo users are kept in sync from the start.
        printf '1000000001  # 演示用户的微博\n1000000002  # 演示用户2的微博\n' >"$demo/同步列表.txt"
        cat <<EOT
Demo: a fake Weibo at $base, the program and its files in $demo.
  1. On the login page log in with any name and password (the demo needs no account).
  2. Click the user 演示用户的微博, then 下载此用户: the albums appear on the next page.
     演示用户2的微博 has a photo service that answers 504: after about 15 s its
     albums come from the album tab of its page (全部图片 first), live photos
     with their videos.
  3. Tick albums and click 3：下载选中; the pictures land in $demo/下载.
  4. On the page 同步列表 both demo users are listed: 全部同步 takes their albums.
     Post new photos to one of them while the window runs:
       curl -sk '$base/fake/add-photos?uid=1000000001&album=0&count=3'
     and 全部同步 again saves those three alone. From a terminal the same:
       $demo/weibo-albums-cli sync --notify
EOT
        # A home of its own keeps the demo's browser profile out of the real one.
        mkdir -p "$demo/home"
        export HOME="$demo/home" XDG_DATA_HOME="$demo/home/.local/share" XDG_CACHE_HOME="$demo/home/.cache"
        if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
            xvfb-run -a -s "-screen 0 1280x800x24" "$demo/weibo-albums"
        else
            "$demo/weibo-albums"
        fi
        ;;
    package)
        PACKAGES+=(dpkg-dev appstream desktop-file-utils lintian)
        install_missing
        build
        (cd build && cpack -G DEB >/dev/null)
        deb=$(ls build/weibo-albums_*.deb)
        echo "Built $deb"
        dpkg-deb --field "$deb" Depends
        bash tools/check-package.sh "$deb"
        ;;
    fuzz)
        PACKAGES+=(clang libclang-rt-dev)
        install_missing
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DWA_HEADLESS_ONLY=ON -DWA_BUILD_TESTS=OFF -DWA_FUZZ=ON >/dev/null
        cmake --build build-fuzz
        runs=${2:-10000}
        failed=0
        for harness in build-fuzz/tests/fuzz/*_fuzz; do
            name=$(basename "$harness" _fuzz)
            found=$(mktemp -d)  # new inputs stay out of the kept seed corpus
            crashes=$(mktemp -d)  # and so does what a failure leaves
            if "$harness" -runs="$runs" -max_len=65536 -artifact_prefix="$crashes/" "$found" "tests/fuzz/corpus/$name" \
                >"$found.log" 2>&1; then
                echo "fuzz $name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$found.log")"
            else
                echo "fuzz $name: FAILED (the input is kept in $crashes)" >&2
                tail -n 40 "$found.log" >&2
                failed=1
            fi
            rm -rf "$found" "$found.log"
            rmdir "$crashes" 2>/dev/null || true
        done
        exit "$failed"
        ;;
    *)
        echo "usage: $0 run|test|demo|package|fuzz" >&2
        exit 2
        ;;
esac
