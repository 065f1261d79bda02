#!/usr/bin/env bash
# checkHeaderExports.sh LIBRARY HEADER MACRO COUNT: fails unless the header
# declares COUNT functions with MACRO (each line that starts with it names one)
# and the library exports exactly those functions, under their plain names.
set -euo pipefail
lib=$1 header=$2 macro=$3 count=$4
declared=$(grep -E "^${macro} " "$header" | sed -E 's/\(.*//; s/.*[ *]//' | sort -u)
exported=$(nm -D --defined-only "$lib" | awk '$2 == "T" {print $3}' | grep -v '^_init$\|^_fini$' | sort -u)
n=$(grep -c . <<<"$declared" || true)
[ "$n" -eq "$count" ] || { echo "$header declares $n functions with $macro, not $count"; exit 1; }
missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
[ -z "$missing" ] || { echo "declared in $header but not exported by $lib:"; echo "$missing"; exit 1; }
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
[ -z "$extra" ] || { echo "exported by $lib but not declared in $header:"; echo "$extra"; exit 1; }
echo "the $count functions of $header, and only they, are exported"
