#!/usr/bin/env bash
# Shell completion written from the command table: what bash offers after
# sourcing the script, as a user's TAB would get it.
source "$(dirname "$0")/e2e_lib.bash"
unset DISPLAY QT_QPA_PLATFORM

"$PROGRAM" --completion bash >"$WORK/kestrine-config.bash" || fail "--completion bash"
bash -n "$WORK/kestrine-config.bash" || fail "the bash script does not parse"

# offered WORD...: what bash completes for the words, the last one being completed.
offered() {
    bash -c 'source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        complete -p kestrine-config >/dev/null || exit 1
        _kestrine_config kestrine-config "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' \
        sh "$WORK/kestrine-config.bash" kestrine-config "$@"
}

[ "$(offered s)" = "set show" ] || fail "kestrine-config s<TAB> offers: $(offered s)"
[ "$(offered set polling)" = "polling_rate_hz=" ] || fail "set polling<TAB> offers: $(offered set polling)"
[ "$(offered get cpi_level.3.)" = "cpi_level.3.x cpi_level.3.y" ] || fail "get cpi_level.3.<TAB>: $(offered get cpi_level.3.)"
[ "$(offered show --j)" = "--json" ] || fail "show --j<TAB>: $(offered show --j)"
[ "$(offered cpi-check --s)" = "--simulate --simulated-mice --simulated-stroke --strokes" ] ||
    fail "cpi-check --s<TAB>: $(offered cpi-check --s)"
# A command of a command, then its file.
[ "$(offered rules '')" = "check" ] || fail "rules <TAB> offers: $(offered rules '')"
touch "$WORK/rules-one.toml"
[ "$(offered rules check "$WORK/rules-o")" = "$WORK/rules-one.toml" ] || fail "rules check FILE<TAB>: $(offered rules check "$WORK/rules-o")"
[ "$(offered --wait 3 rules ch)" = "check" ] || fail "--wait 3 rules ch<TAB>: $(offered --wait 3 rules ch)"
[ "$(offered --completion '')" = "bash fish zsh" ] || fail "--completion <TAB>: $(offered --completion '')"
# Every command of --help is offered at the start.
commands=$("$PROGRAM" --help | sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' | sort | paste -sd " ")
[ "$(offered '')" = "$commands" ] || fail "<TAB> offers $(offered ''), --help lists $commands"

# The other shells' scripts name every command too; they parse where the shell is there.
for shell in zsh fish; do
    "$PROGRAM" --completion "$shell" >"$WORK/script.$shell" || fail "--completion $shell"
    for command in $commands; do
        grep -qw -- "$command" "$WORK/script.$shell" || fail "the $shell script lacks $command"
    done
    if command -v "$shell" >/dev/null; then
        "$shell" -n "$WORK/script.$shell" || fail "the $shell script does not parse"
    fi
done
echo "PASS"
