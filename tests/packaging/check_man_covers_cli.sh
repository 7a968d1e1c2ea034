#!/usr/bin/env bash
# The man page keeps up with the program: every option its --help names, every
# command it lists (with the command's own options) and every setting that
# "set --help" lists has its place in the page.
set -euo pipefail
program=${1:?usage: $0 PROGRAM PAGE}
page=${2:?usage: $0 PROGRAM PAGE}
# The page's source with roff's escapes for minus signs and hyphenation undone.
text=$(sed 's/\\-/-/g; s/\\%//g; s/\\&//g' "$page")
status=0
missing() {
    echo "FAIL: the man page does not describe $1" >&2
    status=1
}

# No display: the help must come from the command line alone.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help)
commands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')

options=$(grep -oE -- '--[a-z][a-z-]+' <<<"$help" | sort -u)
for command in $commands; do
    grep -qE "^\.B[IR]? $command( |$)" <<<"$text" || missing "the command $command"
    options+=$'\n'$("$program" "$command" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u)
done
for option in $(sort -u <<<"$options"); do
    grep -qF -- "$option" <<<"$text" || missing "the option $option"
done

# Settings as "set --help" lists them: cpi_level.N.x lives in the page as the
# [[cpi_level]] table with its x, so the name's first part is what is looked for.
if grep -qx 'set' <<<"$commands"; then
    settings=$("$program" set --help | sed -n '/^Settings/,/^$/p' |
        sed -n 's/^  \([a-z_][a-z_.N]*\)$/\1/p' | cut -d. -f1 | sort -u)
    [ -n "$settings" ] || missing "any setting: set --help lists none"
    for setting in $settings; do
        grep -qE "(^|[^a-z_])${setting}([^a-z_]|$)" <<<"$text" || missing "the setting $setting"
    done
fi
[ "$status" -eq 0 ] && echo "PASS ($(wc -w <<<"$commands") commands)"
exit "$status"
