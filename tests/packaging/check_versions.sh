#!/usr/bin/env bash
# Every file that names the tool's version names the project's: the Debian
# changelog (the package's version), the newest release of the metainfo and the
# man page's header.
set -euo pipefail
source_dir=${1:?usage: $0 SOURCE_DIR VERSION}
version=${2:?usage: $0 SOURCE_DIR VERSION}
status=0

expect() {  # what, found
    if [ "$2" != "$version" ]; then
        echo "FAIL: $1 says '$2', the project is $version" >&2
        status=1
    fi
}
expect debian/changelog "$(sed -n '1s/^kestrine-config (\([^)]*\)).*/\1/p' "$source_dir/debian/changelog")"
expect "the metainfo's newest release" "$(grep -o -m 1 '<release version="[^"]*"' \
    "$source_dir/packaging/io.github.kestrine.config.metainfo.xml" | cut -d'"' -f2)"
expect "the man page's header" "$(sed -n 's/^\.TH .*"kestrine-config \([^"]*\)".*/\1/p' \
    "$source_dir/packaging/kestrine-config.1")"
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
