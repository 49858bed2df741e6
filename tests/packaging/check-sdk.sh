#!/bin/sh
# Makes the Windows SDK zip of a build with CPack, unpacks it and checks what it holds:
# its files, nothing else; the MSVC-format import library (short import members, one
# per export of the .def, decorated as MSVC callers name them); then builds two hosts
# against the unpacked zip alone, with mingw's gcc and its import library and with
# clang and lld-link and the MSVC-format one. The hosts run under wine as tests of
# their own.
# usage: check-sdk.sh BUILD_DIR SOURCE_DIR WORK_DIR MINGW_TRIPLE SAMPLE_CONFIG
# (SAMPLE_CONFIG as the Windows host names it: Z:/...)
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$3
triple=$4
sample=$5
fail() { echo "check-sdk: $*"; exit 1; }
tool() { command -v "$1" || command -v "$1-14" || command -v "$1-15" || command -v "$1-16" || fail "$1 is missing"; }

rm -rf "$work"
mkdir -p "$work/host"
(cd "$build" && cpack -G ZIP -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
zip=$(ls "$work/out"/*.zip)
echo "$zip"
(cd "$work" && cmake -E tar xf "$zip")
sdk=$work/$(basename "$zip" .zip)
[ -d "$sdk" ] || fail "the zip does not unpack into $(basename "$sdk")"

expected="README.md
bin/QorvCryptManage.dll
bin/QorvIsolatingProvider.dll
bin/qorvcrypt-provider-host.exe
bin/qorvcrypt.exe
include/QorvCryptCall.h
include/QorvCryptManage.h
include/QorvCryptProvider.h
lib/QorvCryptManage.def
lib/QorvCryptManage.lib
lib/libQorvCryptManage.dll.a"
actual=$(cd "$sdk" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || { printf 'expected:\n%s\nfound:\n%s\n' "$expected" "$actual"; fail "the zip's files differ"; }

case $triple in
  i686-*) machine=i386 msvc_target=i686-pc-windows-msvc ;;
  *) machine=x86-64 msvc_target=x86_64-pc-windows-msvc ;;
esac

# The MSVC-format library: short import members (no mingw-style objects) for exactly
# the exports of the .def, each under the name MSVC callers use, bound by name.
readobj=$(tool llvm-readobj)
"$readobj" "$sdk/lib/QorvCryptManage.lib" >"$work/lib.txt"
grep '^Format:' "$work/lib.txt" | sort | uniq -c
if grep '^Format:' "$work/lib.txt" | grep -v -e "^Format: COFF-import-file$" -e "^Format: COFF-$machine$"; then
  fail "QorvCryptManage.lib holds members of another format"
fi
symbols=$(sed -n 's/^Symbol: \(__imp_.*\)/\1/p' "$work/lib.txt" | LC_ALL=C sort)
if [ $machine = i386 ]; then
  # "GetCryptList@16 @6" -> "__imp__GetCryptList@16"; the import name is undecorated.
  wanted=$(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*@[0-9]*\)[[:space:]]*@[0-9].*/__imp__\1/p' "$sdk/lib/QorvCryptManage.def")
  name_type=undecorate
else
  wanted=$(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*@[0-9].*/__imp_\1/p' "$sdk/lib/QorvCryptManage.def")
  name_type=name
fi
wanted=$(printf '%s\n' "$wanted" | LC_ALL=C sort)
[ -n "$wanted" ] && [ "$symbols" = "$wanted" ] ||
  { printf 'expected:\n%s\nfound:\n%s\n' "$wanted" "$symbols"; fail "QorvCryptManage.lib's imports differ from the .def"; }
[ "$(grep -c "^Name type: $name_type$" "$work/lib.txt")" -eq "$(printf '%s\n' "$wanted" | wc -l)" ] ||
  fail "not every import of QorvCryptManage.lib is bound by its plain name (name type $name_type)"
echo "QorvCryptManage.lib: $(printf '%s\n' "$wanted" | wc -l) imports in the MSVC format"

# A host built with mingw against the unpacked SDK alone.
"$triple-gcc" -std=c99 -Wall -Wextra -Wpedantic -Werror -static-libgcc -I "$sdk/include" \
  "$source/tests/packaging/list-types.c" -L "$sdk/lib" -lQorvCryptManage -o "$work/host/list-types.exe"
# The same with Microsoft's conventions: clang for the MSVC target and lld-link with the
# MSVC-format library. No C runtime is at hand, so the host has none.
clang=$(tool clang)
lld_link=$(tool lld-link)
"$clang" --target=$msvc_target -ffreestanding -fno-builtin -O1 -Wall -Wextra -Werror -I "$sdk/include" \
  -DQORV_SAMPLE_CONFIG="\"$sample\"" -c "$source/tests/packaging/msvc-list-types.c" -o "$work/host/msvc-list-types.obj"
"$lld_link" -nologo -nodefaultlib -entry:HostEntry -subsystem:console -out:"$work/host/msvc-list-types.exe" \
  "$work/host/msvc-list-types.obj" "$sdk/lib/QorvCryptManage.lib"
cp "$sdk/bin/QorvCryptManage.dll" "$work/host/"
echo "check-sdk: $(basename "$zip") holds the SDK; its hosts are built in $work/host"
