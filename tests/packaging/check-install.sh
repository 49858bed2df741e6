#!/bin/sh
# Installs a build configured with the default prefix into a prefix chosen now, then
# builds two hosts against that prefix only and runs each on the installed sample
# configuration: a CMake project (find_package) and a one-file C program (pkg-config).
# Also runs the installed qorvcrypt, and checks the library's versioned names and that
# no installed text names the configured prefix or the build folder.
# usage: check-install.sh BUILD_DIR SOURCE_DIR
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
here=$source/tests/packaging
work=$(mktemp -d /tmp/qorv-install-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "check-install: $*"; exit 1; }

configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$configured" ] && [ "$configured" != "$prefix" ] || fail "cannot read the configured prefix"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install failed"; }

# Versioned names as Debian expects them.
lib=$prefix/$libdir
[ "$(readlink "$lib/libQorvCryptManage.so")" = libQorvCryptManage.so.0 ] || fail "libQorvCryptManage.so is not a link to .so.0"
real=$(readlink "$lib/libQorvCryptManage.so.0")
case "$real" in libQorvCryptManage.so.0.*) ;; *) fail "libQorvCryptManage.so.0 links to '$real'" ;; esac
[ -f "$lib/$real" ] && [ ! -L "$lib/$real" ] || fail "$real is not the library file"
objdump -p "$lib/$real" | grep -q 'SONAME *libQorvCryptManage\.so\.0$' || fail "the SONAME is not libQorvCryptManage.so.0"

# Every path the installed files name follows the prefix chosen at install time.
if grep -rIlF -e "$configured" -e "$build" -e "$source" "$prefix"; then
  fail "the files above name the configured prefix ($configured) or the build or source folder"
fi

sample=$prefix/share/qorvcryptmanage/crypto-config.xml
provider=$lib/qorvcryptmanage/libQorvReferenceProvider.so
grep -q "<LIBPATH>$provider</LIBPATH>" "$sample" || fail "the sample does not name $provider"
types="CertPair Password Plain"

echo "== the installed qorvcrypt"
"$prefix/bin/qorvcrypt" list --config "$sample" | tee "$work/list.txt"
for type in $types; do grep -q "^$type=" "$work/list.txt" || fail "qorvcrypt list lacks $type"; done
# The sample's plain type has no key file: the installed reference provider says so,
# which shows that the sample's path loads it.
echo data >"$work/data.txt"
if "$prefix/bin/qorvcrypt" encrypt --config "$sample" --type Plain --user u "$work/data.txt" 2>"$work/encrypt.err"; then
  fail "encrypting without a key file succeeded"
fi
grep -q KeyFile "$work/encrypt.err" || { cat "$work/encrypt.err"; fail "the reference provider did not answer"; }
# The same through the installed isolating provider, which finds its helper beside it.
cat >"$work/isolated.xml" <<XML
<CRYPTS><CRYPT><NAME>Isolated</NAME><LIBPATH>$lib/qorvcryptmanage/libQorvIsolatingProvider.so</LIBPATH><MODE>0</MODE>
<DESC>isolated</DESC><EXTENDS><EXT-PARAM><PARAM-NAME>IsolatedLibPath</PARAM-NAME><PARAM-VALUE>$provider</PARAM-VALUE>
</EXT-PARAM></EXTENDS></CRYPT></CRYPTS>
XML
if "$prefix/bin/qorvcrypt" encrypt --config "$work/isolated.xml" --type Isolated --user u "$work/data.txt" \
  2>"$work/isolated.err"; then
  fail "encrypting without a key file succeeded through the isolating provider"
fi
grep -q KeyFile "$work/isolated.err" || { cat "$work/isolated.err"; fail "the isolated reference provider did not answer"; }

echo "== a CMake project against the prefix"
cmake -S "$here/consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DQORV_EXPECTED_PREFIX="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF >"$work/consumer.log" ||
  { cat "$work/consumer.log"; fail "the consumer project does not configure"; }
grep "QorvCryptManage 0" "$work/consumer.log"
cmake --build "$work/consumer" >"$work/consumer-build.log" || { cat "$work/consumer-build.log"; fail "the consumer does not build"; }
"$work/consumer/list-types" "$sample" $types >"$work/consumer.txt" 2>&1 || { cat "$work/consumer.txt"; fail "the consumer host failed"; }
cat "$work/consumer.txt"
grep -qx "the same list through GetCryptListEx, from QorvCryptManage $version" "$work/consumer.txt" ||
  fail "the consumer did not get the version $version"

echo "== a C file built with pkg-config"
PKG_CONFIG_LIBDIR=$lib/pkgconfig
export PKG_CONFIG_LIBDIR
flags=$(pkg-config --cflags --libs qorvcryptmanage) || fail "pkg-config does not find qorvcryptmanage in the prefix"
echo "pkg-config: $flags"
case " $flags " in *" -I$prefix/include "*"-L$lib "*) ;; *) fail "pkg-config names paths outside $prefix" ;; esac
# shellcheck disable=SC2086
cc -std=c99 -Wall -Wextra -Wpedantic -Werror "$here/list-types.c" -o "$work/list-types" $flags \
  -Wl,-rpath,"$(pkg-config --variable=libdir qorvcryptmanage)"
"$work/list-types" "$sample" $types >"$work/pkg-config.txt" 2>&1 || { cat "$work/pkg-config.txt"; fail "the pkg-config host failed"; }
cat "$work/pkg-config.txt"
grep -qx "the same list through GetCryptListEx, from QorvCryptManage $version" "$work/pkg-config.txt" ||
  fail "the pkg-config host did not get the version $version"
echo "check-install: the install in $prefix works"
