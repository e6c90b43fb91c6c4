#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvel need.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libsqlite3-dev libicu-dev nlohmann-json3-dev libgif-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
    clang-14 libclang-rt-14-dev
    libqt6sql6-sqlite qt6-tools-dev qt6-base-private-dev
    postgresql odbc-postgresql unixodbc-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
