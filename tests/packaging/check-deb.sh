#!/bin/sh
# Builds the .deb packages of a Linux build with CPack and checks them: their names and
# dependencies (dpkg-deb -I), that every file lies in the usual folders (dpkg -c), the
# library's versioned names, and that the files name /usr, never the build.
# usage: check-deb.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/qorv-deb-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-deb: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
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

# Paths a package of this kind may use, and nothing else.
folders="usr|usr/bin|usr/include|usr/lib|usr/share|usr/share/doc|usr/share/doc/qorvcryptmanage(-dev)?|usr/share/qorvcryptmanage"
folders="$folders|usr/lib/$multiarch|usr/lib/$multiarch/(qorvcryptmanage|pkgconfig|cmake|cmake/QorvCryptManage)"
files="usr/bin/qorvcrypt|usr/include/QorvCrypt[A-Za-z]*\\.h|usr/share/qorvcryptmanage/crypto-config\\.xml"
files="$files|usr/share/doc/qorvcryptmanage/[^/]*|usr/lib/$multiarch/(libQorvCryptManage\\.so[.0-9]*|qorvcryptmanage/[^/]*\\.so)"
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
echo "check-deb: both packages are as they should be"
