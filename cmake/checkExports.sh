#!/usr/bin/env bash
# checkExports.sh LIBRARY PREFIX...: fails when the library exports a defined
# symbol that starts with none of the prefixes, or exports none at all.
set -euo pipefail
lib=$1; shift
pattern=$(printf '|%s' "$@"); pattern="^(${pattern:1})"
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v '^$' | grep -v '^_init$\|^_fini$' || true)
[ -n "$symbols" ] || { echo "no exported symbols in $lib"; exit 1; }
stray=$(grep -Ev "$pattern" <<<"$symbols" || true)
[ -z "$stray" ] || { echo "unexpected exports in $lib:"; echo "$stray"; exit 1; }
echo "$(wc -l <<<"$symbols") exports, all named $*"
