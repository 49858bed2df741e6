#!/bin/sh
# qorvcrypt list on a 3 KB windows-1252 configuration whose DESC is 3,000 bytes of 0x80:
# each byte becomes the euro sign, three bytes of UTF-8, so the list is about three
# times the file. It must come out whole and exact (iconv gives the expected bytes).
# usage: check-list-wide.sh QORVCRYPT
set -eu
tool=$1
work=$(mktemp -d /tmp/qorv-list-wide.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-list-wide: $*"; exit 1; }

head -c 3000 /dev/zero | tr '\0' '\200' >"$work/desc"
{
  printf '<?xml version="1.0" encoding="windows-1252"?>\n'
  printf '<CRYPTS><CRYPT><NAME>Wide</NAME><LIBPATH>/nonexistent/provider.so</LIBPATH><MODE>0</MODE><DESC>'
  cat "$work/desc"
  printf '</DESC></CRYPT></CRYPTS>\n'
} >"$work/config.xml"
size=$(wc -c <"$work/config.xml")
[ "$size" -gt 3000 ] && [ "$size" -lt 3300 ] || fail "the configuration is $size bytes"

{ printf 'Wide='; iconv -f WINDOWS-1252 -t UTF-8 "$work/desc"; printf '\r\n'; } >"$work/expected"
[ "$(wc -c <"$work/expected")" -eq 9007 ] || fail "iconv did not give three bytes per 0x80"

"$tool" list --config "$work/config.xml" >"$work/list" || fail "qorvcrypt list failed (status $?)"
cmp "$work/expected" "$work/list" || fail "the list is not the configuration's DESC in UTF-8 ($(wc -c <"$work/list") bytes)"
echo "check-list-wide: a $size-byte configuration lists as $(wc -c <"$work/list") bytes, exactly"
