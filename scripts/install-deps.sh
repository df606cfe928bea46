#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, unless present.
set -euo pipefail
packages=(cmake g++ ninja-build libgtest-dev libgmock-dev python3 clang libclang-rt-14-dev libdeflate-dev libdivsufsort-dev)
# The install check: lints the manual pages, asks bash-completion where
# completions go, and builds the Debian package (dpkg-shlibdeps, file).
packages+=(groff-base mandoc pkg-config bash-completion dpkg-dev file)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
