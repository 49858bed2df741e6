#!/usr/bin/env bash
# Installs what the project needs on a Debian 12 machine: the Linux toolchain and libraries,
# the mingw-w64 cross compilers and 64- and 32-bit wine for the Windows test suites.
# With --linux, only what the Linux build needs. Safe to run again; needs root (or sudo).
set -u
linux_only=false
[ "${1:-}" = "--linux" ] && linux_only=true
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

if $linux_only; then
  if ! dpkg -s cmake ninja-build libxml2-dev libssl-dev openssl libgtest-dev g++ >/dev/null 2>&1; then
    $SUDO apt-get update || true
    $SUDO apt-get install -y --no-install-recommends build-essential cmake ninja-build pkg-config \
      libxml2-dev libssl-dev openssl googletest libgtest-dev libgmock-dev || exit 1
  fi
  exit 0
fi

# 32-bit wine needs i386 packages whose shared libraries match the amd64 ones exactly.
# The security archive's i386 index can lag behind its amd64 one, so keep both on the
# point release unless a package is only there.
$SUDO dpkg --add-architecture i386
$SUDO tee /etc/apt/preferences.d/qorvcrypt-security >/dev/null <<'PREF'
Package: *
Pin: release l=Debian-Security
Pin-Priority: 100
PREF

# An out-of-sync index for one architecture makes update report an error; the rest is usable.
$SUDO apt-get update || echo "install-deps: apt-get update reported an error; going on with the indexes it fetched"

base_pkgs=(build-essential cmake ninja-build pkg-config git
           libxml2-dev libssl-dev openssl googletest libgtest-dev libgmock-dev libbenchmark-dev
           g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
           clang libclang-rt-14-dev valgrind
           locales file)
$SUDO apt-get install -y --no-install-recommends "${base_pkgs[@]}" || exit 1

# wine under a Chinese locale gives the ANSI code page 936 that the Windows builds target.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen
fi

$SUDO apt-get install -y --no-install-recommends wine wine64 || exit 1
if ! $SUDO apt-get install -y --no-install-recommends wine32:i386; then
  echo "install-deps: WARNING: 32-bit wine (wine32:i386) could not be installed; the i686 suite cannot run"
fi

# The reference provider's Windows builds link a static libcrypto made from Debian's
# OpenSSL sources, once per machine (a few minutes per target; then kept in a cache).
for arch in x86_64 i686; do
  bash "$(dirname "$0")/build-openssl-mingw.sh" "$arch" || exit 1
done
exit 0
