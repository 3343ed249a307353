#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Installs nothing when everything is present.
set -euo pipefail
packages=(cmake make g++ binutils libgtest-dev zlib1g-dev libmariadb-dev mariadb-server
          mariadb-client zip unzip clang libclang-rt-14-dev python3 util-linux openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q </dev/null
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
