#!/usr/bin/env bash
# Installs what the project needs on a Debian 12 machine, when it is missing:
#   scripts/install-deps.sh           everything scripts/test-all.sh needs: the Linux
#                                     toolchain and libraries, clang, valgrind, the mingw-w64
#                                     cross compilers, 64- and 32-bit wine, the zh_CN.UTF-8 locale
#   scripts/install-deps.sh --linux   what the Linux build needs (scripts/demo.sh)
#   scripts/install-deps.sh --vm      the virtual machine of scripts/run-in-vm.sh (qemu)
# It checks first and does nothing when everything is there. Installing needs root; run
# by another user, it names what is missing and the command to run, and fails.
set -u
mode=all
case ${1:-} in
  "") ;;
  --linux) mode=linux ;;
  --vm) mode=vm ;;
  *) echo "usage: $0 [--linux | --vm]" >&2; exit 2 ;;
esac
export DEBIAN_FRONTEND=noninteractive

# dpkg-dev and file: CPack's .deb packages (dpkg-shlibdeps finds their dependencies).
linux_pkgs=(build-essential cmake ninja-build pkg-config libxml2-dev libssl-dev openssl googletest libgtest-dev
            libgmock-dev dpkg-dev file)
# llvm and lld: the Windows SDK's MSVC-format import library (llvm-dlltool), its check
# (llvm-readobj) and the host linked against it (lld-link).
all_pkgs=("${linux_pkgs[@]}" git libbenchmark-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          clang libclang-rt-14-dev llvm lld valgrind locales wine wine64)
vm_pkgs=(qemu-system-x86)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
has_locale() { locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; }
has_i386() { dpkg --print-foreign-architectures | grep -qx i386; }

case $mode in
  linux) wanted=("${linux_pkgs[@]}") ;;
  vm) wanted=("${vm_pkgs[@]}") ;;
  all) wanted=("${all_pkgs[@]}" wine32:i386) ;;
esac
missing=()
for package in "${wanted[@]}"; do
  installed "$package" || missing+=("$package")
done
if [ "$mode" = all ]; then
  has_i386 || missing+=("(the i386 architecture)")
  has_locale || missing+=("(the zh_CN.UTF-8 locale)")
fi
[ ${#missing[@]} -gt 0 ] || exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing: ${missing[*]}"
  echo "install-deps: installing needs root; run:"
  echo "    sudo bash $(cd "$(dirname "$0")" && pwd)/install-deps.sh${1:+ $1}"
  exit 1
fi

if [ "$mode" = all ]; then
  # 32-bit wine needs i386 packages whose shared libraries match the amd64 ones exactly.
  # The security archive's i386 index can lag behind its amd64 one, so keep both on the
  # point release unless a package is only there.
  dpkg --add-architecture i386
  cat >/etc/apt/preferences.d/qorvcrypt-security <<'PREF'
Package: *
Pin: release l=Debian-Security
Pin-Priority: 100
PREF
fi

# An out-of-sync index for one architecture makes update report an error; the rest is usable.
apt-get update || echo "install-deps: apt-get update reported an error; going on with the indexes it fetched"

if [ "$mode" != all ]; then
  apt-get install -y --no-install-recommends "${wanted[@]}" || exit 1
  exit 0
fi

apt-get install -y --no-install-recommends "${all_pkgs[@]}" || exit 1

# wine under a Chinese locale gives the ANSI code page 936 that the Windows builds target.
if ! has_locale; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen
fi

# Installed even where this kernel cannot run it: scripts/run-in-vm.sh runs it in a guest.
if ! apt-get install -y --no-install-recommends wine32:i386; then
  echo "install-deps: WARNING: 32-bit wine (wine32:i386) could not be installed; the i686 suites cannot run"
fi

# The reference provider's Windows builds link a static libcrypto made from Debian's
# OpenSSL sources, once per machine (a few minutes per target; then kept in a cache).
for arch in x86_64 i686; do
  bash "$(dirname "$0")/build-openssl-mingw.sh" "$arch" || exit 1
done
exit 0
