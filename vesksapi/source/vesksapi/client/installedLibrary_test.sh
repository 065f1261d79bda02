#!/usr/bin/env bash
# installedLibrary_test.sh BUILD_DIR SOURCE.c C_COMPILER [C_FLAGS]: installs the
# build into a fresh prefix, checks what lands there, then builds SOURCE.c
# against the installed header and library alone and runs it (in a private
# network namespace, where no daemon listens).
set -euo pipefail
build=$1 source=$2 cc=$3 flags=${4:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$prefix/lib
for file in include/vesksapi/vesksapi.h include/qzerr/statusRecord.h include/vesklib/timestamp.h \
            lib/libqzsslinit.so.13 lib/liblinkra.so.13 lib/libqzqlm_clientapi.so.1 \
            bin/vesks bin/veskapp bin/veskloc; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
for name in vesklib vesksapi; do
  soname=$(readelf -d "$lib/lib$name.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "lib$name.so.1" ] || { echo "lib$name.so has soname '$soname'"; exit 1; }
done

# shellcheck disable=SC2086  # the flags are several words
"$cc" -std=c11 -Wall -Wextra -Werror -pedantic $flags -I"$prefix/include" "$source" \
  -L"$lib" -lvesksapi -Wl,-rpath,"$lib" -o "$prefix/installedLibrary_test"
"$prefix/installedLibrary_test"
