#!/usr/bin/env bash
# Installs the Debian packages that building and testing need; does nothing
# when every one of them is already present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcjson-dev libcurl4-openssl-dev
  libboost-dev libboost-program-options-dev libboost-filesystem-dev libboost-system-dev
  libthrift-dev thrift-compiler
  iproute2 util-linux mount locales
  curl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
