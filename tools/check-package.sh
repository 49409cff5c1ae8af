#!/usr/bin/env bash
# Checks a built weibo-albums .deb without installing it system-wide: unpacks
# it into a throw-away root, validates its desktop entry and AppStream data,
# runs lintian, and lets the unpacked CLI list a fake user's albums with its
# settings in a temporary XDG_CONFIG_HOME, writing nothing beside itself.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$1
root=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"; [ -n "${fake:-}" ] && kill "$fake" 2>/dev/null || true' EXIT

dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
# Errors fail the check; warnings are reported.
lintian --tag-display-limit 0 "$deb" | tee "$home/lintian.txt" || true
if grep -q '^E:' "$home/lintian.txt"; then
    echo "lintian reports errors" >&2
    exit 1
fi

build/tools/fake-weibo/fake-weibo --port 0 --user 1000000001:3:5 >"$home/fake.log" 2>&1 &
fake=$!
for _ in $(seq 50); do grep -q "listening on" "$home/fake.log" && break; sleep 0.1; done
base=$(sed -n 's/^fake-weibo listening on //p' "$home/fake.log")
mkdir -p "$home/config/weibo-albums"
printf '[服务地址]\n微博首页=%s/\n相册服务=%s\n\n[全局设置]\n请求间隔=0\n' "$base" "$base" \
    >"$home/config/weibo-albums/配置.ini"
before=$(ls -A "$root/usr/bin")
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    "$root/usr/bin/weibo-albums-cli" albums 1000000001 | tee "$home/albums.txt"
grep -q "^1	微博配图	5	" "$home/albums.txt"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    "$root/usr/bin/weibo-albums-cli" download 1000000001 --albums 1 --save-folder "$home/saved" >/dev/null
[ "$(ls "$home/saved/演示用户的微博/微博配图5" | wc -l)" -eq 5 ]
[ -f "$home/data/weibo-albums/防止重复下载数据库/1000000001.edb" ]
[ "$(ls -A "$root/usr/bin")" = "$before" ] || { echo "something was written beside the installed program" >&2; exit 1; }
echo "package check passed: $(basename "$deb")"
