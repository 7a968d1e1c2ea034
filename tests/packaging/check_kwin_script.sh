#!/usr/bin/env bash
# The KWin script installs as KDE's own package tool installs a KWin script
# (it reads metadata.json as KWin does), under the Id the agent loads it by.
set -euo pipefail
script_dir=${1:?usage: $0 packaging/kwin/kestrine-config-windows}
command -v kpackagetool5 >/dev/null || {
    echo "skipped: kpackagetool5 is not installed (scripts/install-deps)"
    exit 77
}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/share
kpackagetool5 --type KWin/Script --install "$script_dir"
shown=$(kpackagetool5 --type KWin/Script --show kestrine-config-windows)
grep -q "Plugin : kestrine-config-windows" <<<"$shown" || {
    echo "FAIL: KWin does not know the script by its Id:" >&2
    echo "$shown" >&2
    exit 1
}
[ -f "$XDG_DATA_HOME/kwin/scripts/kestrine-config-windows/contents/code/main.js" ] || {
    echo "FAIL: the script's main file is not where its metadata says" >&2
    exit 1
}
echo PASS
