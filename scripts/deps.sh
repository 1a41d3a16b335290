#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; only what is missing.
set -euo pipefail
PKGS=(cmake ninja-build g++ pkg-config ccache clang-format clang libclang-rt-14-dev qt6-base-dev
      qt6-translations-l10n libjpeg62-turbo-dev libcurl4-openssl-dev libzip-dev libxlsxwriter-dev
      libcups2-dev libfontconfig-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-ipafont fonts-ipaexfont
      poppler-utils xvfb xauth openbox libxtst6 cups cups-filters python3-aiosmtpd python3-pyftpdlib zip unzip)
missing=()
for p in "${PKGS[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "root or sudo is needed to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
