#!/bin/sh
# Builds the .deb packages of a Linux build with CPack and checks them: their names and
# dependencies (dpkg-deb -I), that apt would install them on a system that has nothing
# yet, pulling in what they need from Debian's archive (apt-get -s, against an empty
# package status: nothing is installed), that every file lies in the usual folders
# (dpkg -c), the library's versioned names, that the files name /usr, never the build,
# and, unpacked into a folder, that qorvcrypt runs from its bin and a C host builds with
# pkg-config against it.
# usage: check-deb.sh BUILD_DIR SOURCE_DIR
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/qorv-deb-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-deb: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
runtime=$work/out/qorvcryptmanage_${version}_$arch.deb
dev=$work/out/qorvcryptmanage-dev_${version}_$arch.deb
ls "$work/out"/*.deb
[ -f "$runtime" ] && [ -f "$dev" ] || fail "expected $(basename "$runtime") and $(basename "$dev")"
[ "$(ls "$work/out"/*.deb | wc -l)" -eq 2 ] || fail "more packages than the two"

field() { dpkg-deb -f "$1" "$2"; }
depends=$(field "$runtime" Depends)
echo "qorvcryptmanage Depends: $depends"
for package in libc6 libxml2 libssl3; do
  printf '%s\n' "$depends" | tr ',' '\n' | grep -q "^ *$package\( \|$\)" || fail "qorvcryptmanage does not depend on $package"
done
echo "qorvcryptmanage-dev Depends: $(field "$dev" Depends)"
[ "$(field "$dev" Depends)" = "qorvcryptmanage (= $version)" ] || fail "the -dev package does not depend on its library"
dpkg-deb --ctrl-tarfile "$runtime" | tar -xO ./shlibs | grep -qx "libQorvCryptManage 0 qorvcryptmanage (>= $version)" ||
  fail "no shlibs entry for libQorvCryptManage.so.0"

# What apt-get install ./*.deb does on a fresh Debian 12, simulated.
ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1 || fail "apt has no package lists: run apt-get update"
: >"$work/empty-status"
apt-get -s -o Dir::State::status="$work/empty-status" -o APT::Install-Recommends=false install "$runtime" "$dev" \
  >"$work/apt.txt" 2>&1 || { cat "$work/apt.txt"; fail "apt would not install the packages"; }
for package in libxml2 libssl3 qorvcryptmanage qorvcryptmanage-dev; do
  grep -q "^Inst $package " "$work/apt.txt" || { cat "$work/apt.txt"; fail "apt would not install $package"; }
done
echo "apt-get install on an empty system: $(grep -c '^Inst ' "$work/apt.txt") packages, libxml2 and libssl3 among them"

# Paths a package of this kind may use, and nothing else.
folders="usr|usr/bin|usr/include|usr/lib|usr/share|usr/share/doc|usr/share/doc/qorvcryptmanage(-dev)?|usr/share/qorvcryptmanage"
folders="$folders|usr/lib/$multiarch|usr/lib/$multiarch/(qorvcryptmanage|pkgconfig|cmake|cmake/QorvCryptManage)"
files="usr/bin/qorvcrypt|usr/include/QorvCrypt[A-Za-z]*\\.h|usr/share/qorvcryptmanage/crypto-config\\.xml"
# The providers' folder holds the providers and the isolating provider's helper program.
files="$files|usr/share/doc/qorvcryptmanage/[^/]*|usr/lib/$multiarch/(libQorvCryptManage\\.so[.0-9]*|qorvcryptmanage/[^/]*\\.so)"
files="$files|usr/lib/$multiarch/qorvcryptmanage/qorvcrypt-provider-host"
files="$files|usr/lib/$multiarch/(pkgconfig/qorvcryptmanage\\.pc|cmake/QorvCryptManage/QorvCryptManage[A-Za-z-]*\\.cmake)"
usual="^\\./(($folders)/)?\$|^\\./($files)\$"
for deb in "$runtime" "$dev"; do
  echo "== dpkg -c $(basename "$deb")"
  dpkg -c "$deb" | tee "$work/contents.txt"
  awk '{ print $6 }' "$work/contents.txt" | grep -Ev "$usual" && fail "$(basename "$deb") puts the files above outside the usual folders"
  dpkg-deb -x "$deb" "$work/root"
done

lib=$work/root/usr/lib/$multiarch
[ "$(readlink "$lib/libQorvCryptManage.so.0")" = "libQorvCryptManage.so.$version" ] || fail "no libQorvCryptManage.so.0 link"
[ "$(readlink "$lib/libQorvCryptManage.so")" = libQorvCryptManage.so.0 ] || fail "no libQorvCryptManage.so link in -dev"
grep -qx "prefix=/usr" "$lib/pkgconfig/qorvcryptmanage.pc" || fail "the pkg-config file does not name /usr"
grep -q "<LIBPATH>/usr/lib/$multiarch/qorvcryptmanage/libQorvReferenceProvider.so</LIBPATH>" \
  "$work/root/usr/share/qorvcryptmanage/crypto-config.xml" || fail "the sample does not name the installed provider"
if grep -rIlF -e "$build" -e _CPack_Packages "$work/root"; then fail "the files above name the build folder"; fi

# Unpacked: qorvcrypt finds its library from its own place, and a C host builds with
# pkg-config (the sysroot stands for /).
root=$work/root
PATH=$root/usr/bin:$PATH qorvcrypt list --config "$root/usr/share/qorvcryptmanage/crypto-config.xml" >"$work/list.txt" ||
  { cat "$work/list.txt"; fail "the unpacked qorvcrypt does not list the sample"; }
grep -q '^CertPair=' "$work/list.txt" || fail "the unpacked qorvcrypt lists no CertPair"
PKG_CONFIG_LIBDIR=$lib/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root
export PKG_CONFIG_LIBDIR PKG_CONFIG_SYSROOT_DIR
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Wpedantic -Werror "$source/tests/packaging/list-types.c" -o "$work/list-types" \
  $(pkg-config --cflags --libs qorvcryptmanage) || fail "a C host does not build with pkg-config"
LD_LIBRARY_PATH=$lib "$work/list-types" "$root/usr/share/qorvcryptmanage/crypto-config.xml" CertPair Password Plain \
  >"$work/host.txt" 2>&1 || { cat "$work/host.txt"; fail "the C host fails"; }
echo "check-deb: both packages are as they should be"
