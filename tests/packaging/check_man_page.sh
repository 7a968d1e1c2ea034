#!/usr/bin/env bash
# The man page formats without a single groff warning (all of them on), at the
# width of a narrow terminal too (where long words and tables break).
set -euo pipefail
page=${1:?usage: $0 PAGE}
status=0
for width in 80 60; do
    warnings=$(MANWIDTH=$width LC_ALL=C.UTF-8 man --warnings=w -E UTF-8 -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "FAIL: man page warnings at $width columns:" >&2
        echo "$warnings" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
