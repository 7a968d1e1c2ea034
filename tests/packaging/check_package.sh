#!/usr/bin/env bash
# The Debian package, built by scripts/build-deb as a user would: in a fresh
# minimal chroot (--clean), so a library missing from Build-Depends stops the
# build, and on this system. Each gives exactly one .deb with its .changes and
# .buildinfo; the chroot's build has no compiler warning with the package's
# flags, lintian finds no error or warning, and the package holds the files a
# user gets. Slow, so it runs only when asked: KESTRINE_TEST_PACKAGE=1.
set -euo pipefail
source_dir=${1:?usage: $0 SOURCE_DIR VERSION}
version=${2:?usage: $0 SOURCE_DIR VERSION}

if [ "${KESTRINE_TEST_PACKAGE:-0}" != 1 ]; then
    echo "skipped: building the Debian package takes minutes; run with KESTRINE_TEST_PACKAGE=1"
    exit 77
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
name="kestrine-config_${version}_$(dpkg --print-architecture)"

build() {  # folder, build-deb options...
    local folder=$1
    shift
    local started=$SECONDS
    if ! "$source_dir/scripts/build-deb" "$@" "$out/$folder" >"$out/$folder.log" 2>&1; then
        # CMake's reason comes before the logs debhelper prints after it.
        grep -E -B2 -A6 '^CMake Error' "$out/$folder.log" | head -n 40 >&2 || true
        echo "..." >&2
        tail -n 30 "$out/$folder.log" >&2
        fail "scripts/build-deb${*:+ $*} failed (log above)"
    fi
    echo "scripts/build-deb${*:+ $*}: $((SECONDS - started)) s"
    local files
    files=$(cd "$out/$folder" && ls)
    [ "$files" = "$(printf '%s\n' "$name.buildinfo" "$name.changes" "$name.deb")" ] ||
        fail "scripts/build-deb${*:+ $*} wrote $(echo $files), not $name.deb with its .changes and .buildinfo"
}
build clean --clean
# Compiler warnings, by file and line, with the flags the package is built with.
if grep -E '^[^ ]+:[0-9]+:([0-9]+:)? warning: ' "$out/clean.log" >&2; then
    fail "the package build warns (above)"
fi
build host
deb=$out/clean/$name.deb

command -v lintian >/dev/null || fail "lintian is missing; run scripts/install-deps"
# Warnings are fixed or overridden with a reason in debian/, so they fail too.
lintian_status=0
lintian --fail-on error,warning "$out/clean/$name.changes" >"$out/lintian.log" 2>&1 ||
    lintian_status=$?
grep -v 'running with root privileges' "$out/lintian.log" >&2 || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors or warnings"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$out/files"
udev_dir=$(pkg-config --variable=udevdir udev 2>/dev/null || echo /usr/lib/udev)
for file in /usr/bin/kestrine-config \
    "$udev_dir/rules.d/70-kestrine-xq3.rules" \
    /usr/share/applications/io.github.kestrine.config.desktop \
    /usr/share/metainfo/io.github.kestrine.config.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/kestrine-config.svg \
    /usr/share/man/man1/kestrine-config.1.gz \
    /usr/share/bash-completion/completions/kestrine-config \
    /usr/share/zsh/vendor-completions/_kestrine-config \
    /usr/share/fish/vendor_completions.d/kestrine-config.fish \
    /usr/share/doc/kestrine-config/copyright \
    /usr/share/doc/kestrine-config/changelog.gz \
    /usr/share/doc/kestrine-config/README.md.gz \
    /usr/share/doc/kestrine-config/docs/screenshots/basic.png; do
    grep -qx "$file" "$out/files" || fail "the package lacks $file"
done

# The program as packaged runs (its libraries found, its version the project's).
dpkg-deb -x "$deb" "$out/root"
[ "$("$out/root/usr/bin/kestrine-config" --version)" = "kestrine-config $version" ] ||
    fail "the packaged program does not say its version $version"

# The window's icon is drawn at build time: nothing reads SVG at run time.
! dpkg-deb -f "$deb" Depends | grep -q 'libqt6svg6' || fail "Depends names libqt6svg6, which nothing loads"
dpkg-deb -f "$deb" Recommends | grep -q 'qt6-wayland' || fail "Recommends lacks qt6-wayland"
echo "PASS"
