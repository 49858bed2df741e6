#!/usr/bin/env bash
# Files cross between the Linux and a Windows build of the library and the reference
# provider, in every mode (certificate with one and with two key pairs, password, key
# file): what one build encrypts the other decrypts, both ways, byte for byte.
#
#   QORV_WINE_ARCH=win64|win32 QORV_WINEPREFIX=... cross-platform-files.sh WINDOWS_BIN [LINUX_BIN]
#
# WINDOWS_BIN holds qorvcrypt.exe, QorvCryptManage.dll and QorvReferenceProvider.dll,
# LINUX_BIN (default build/linux/bin) the Linux build's. Without a Linux build the run
# is skipped with exit code 77.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
windows_bin=$(cd "$1" && pwd)
linux_bin=${2:-build/linux/bin}
if [ ! -x "$linux_bin/qorvcrypt" ] || [ ! -f "$linux_bin/libQorvReferenceProvider.so" ]; then
  echo "cross-platform-files: no Linux build in $linux_bin; skipped"
  exit 77
fi
linux_bin=$(cd "$linux_bin" && pwd)
: "${QORV_WINE_ARCH:?}" "${QORV_WINEPREFIX:?}"

work=$(mktemp -d /tmp/qorv-cross.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ca" "$work/issued" "$work/linux" "$work/windows" "$work/files"
cp "$linux_bin/libQorvCryptManage.so" "$linux_bin/qorvcrypt" "$work/linux/"
cp "$windows_bin/QorvCryptManage.dll" "$windows_bin/qorvcrypt.exe" "$windows_bin/QorvReferenceProvider.dll" "$work/windows/"
linux() { "$work/linux/qorvcrypt" "$@"; }
windows() { "$root/cmake/wine-run.sh" "$QORV_WINE_ARCH" "$QORV_WINEPREFIX" "$work/windows/qorvcrypt.exe" "$@"; }
value_of() { printf '%s' "$1" | tr -d '\r' | tr ';' '\n' | sed -n "s/^$2=//p" | head -n 1; }
# A parameter string of Linux paths as the Windows build names them (wine's Z: drive).
for_windows() { printf '%s' "$1" | tr -d '\r' | sed 's#=/#=Z:/#g'; }

openssl req -x509 -newkey rsa:2048 -keyout "$work/ca/ca.key" -passout pass:cross-ca -out "$work/ca/ca.crt" -days 2 \
  -subj "/CN=QorvCrypt Cross CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
head -c 32 /dev/urandom >"$work/ca/file.key"

# One configuration per build, the same types: P is how that build names a file.
config() {
  local p=$1 provider=$2
  cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<CRYPTCONFIG>
  <CRYPT><NAME>CertOne</NAME><LIBPATH>$provider</LIBPATH><MODE>1</MODE><DESC>one pair</DESC>
    <CA><CAMODE>1</CAMODE><CAISMULTI>0</CAISMULTI><ROOTCERTFILE>$p$work/ca/ca.crt</ROOTCERTFILE></CA>
    <EXTENDS><EXT-PARAM><PARAM-NAME>RevenueCode</PARAM-NAME><PARAM-VALUE>1</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT>
  <CRYPT><NAME>CertTwo</NAME><LIBPATH>$provider</LIBPATH><MODE>1</MODE><DESC>two pairs</DESC>
    <CA><CAMODE>1</CAMODE><CAISMULTI>1</CAISMULTI><ROOTCERTFILE>$p$work/ca/ca.crt</ROOTCERTFILE></CA>
    <EXTENDS>
      <EXT-PARAM><PARAM-NAME>RevenueCode</PARAM-NAME><PARAM-VALUE>2</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CACertFile</PARAM-NAME><PARAM-VALUE>$p$work/ca/ca.crt</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CAKeyFile</PARAM-NAME><PARAM-VALUE>$p$work/ca/ca.key</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CAKeyPwd</PARAM-NAME><PARAM-VALUE>cross-ca</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CertOutDir</PARAM-NAME><PARAM-VALUE>$p$work/issued</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>KeyAlg</PARAM-NAME><PARAM-VALUE>EC</PARAM-VALUE></EXT-PARAM>
    </EXTENDS></CRYPT>
  <CRYPT><NAME>Password</NAME><LIBPATH>$provider</LIBPATH><MODE>2</MODE><DESC>password</DESC>
    <EXTENDS><EXT-PARAM><PARAM-NAME>KdfCost</PARAM-NAME><PARAM-VALUE>12</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT>
  <CRYPT><NAME>Plain</NAME><LIBPATH>$provider</LIBPATH><MODE>0</MODE><DESC>key file</DESC>
    <EXTENDS><EXT-PARAM><PARAM-NAME>KeyFile</PARAM-NAME><PARAM-VALUE>$p$work/ca/file.key</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT>
</CRYPTCONFIG>
XML
}
config "" "$linux_bin/libQorvReferenceProvider.so" >"$work/linux.xml"
config "Z:" "Z:$work/windows/QorvReferenceProvider.dll" >"$work/windows.xml"
on_linux=(--config "$work/linux.xml")
on_windows=(--config "Z:$work/windows.xml")

# The server's and alice's pairs, made once (on Linux) and installed in both builds' stores.
server=$(linux create "${on_linux[@]}" --type CertTwo --user server --raw)
alice=$(linux create "${on_linux[@]}" --type CertTwo --user alice --raw)
server_certs="RevenueEncCertFile=$(value_of "$server" EncCertFile);RevenueSignCertFile=$(value_of "$server" SignCertFile)"
for type in CertOne CertTwo; do
  linux set-server "${on_linux[@]}" --type "$type" --params "$server_certs" >/dev/null
  linux set-ca "${on_linux[@]}" --type "$type" --user alice --params "$alice" >/dev/null
  windows set-server "${on_windows[@]}" --type "$type" --params "$(for_windows "$server_certs")" >/dev/null
  windows set-ca "${on_windows[@]}" --type "$type" --user alice --params "$(for_windows "$alice")" >/dev/null
done
linux set-password "${on_linux[@]}" --type Password --user alice --params "PassWord=cross platform" >/dev/null
windows set-password "${on_windows[@]}" --type Password --user alice --params "PassWord=cross platform" >/dev/null

head -c $((1024 * 1024 + 5)) /dev/urandom >"$work/files/large.bin"
printf '跨平台的文件。\n' >"$work/files/small.txt"
failures=0
for type in CertOne CertTwo Password Plain; do
  # "from-linux.*" are encrypted on Linux and decrypted on Windows, "from-windows.*" the reverse.
  for file in large.bin small.txt; do
    cp "$work/files/$file" "$work/files/$type.from-linux.$file"
    cp "$work/files/$file" "$work/files/$type.from-windows.$file"
  done
  linux encrypt "${on_linux[@]}" --type "$type" --user alice \
    "$work/files/$type.from-linux.large.bin" "$work/files/$type.from-linux.small.txt" >/dev/null
  windows encrypt "${on_windows[@]}" --type "$type" --user alice \
    "Z:$work/files/$type.from-windows.large.bin" "Z:$work/files/$type.from-windows.small.txt" >/dev/null
  rm -f "$work/files/$type".from-*.{large.bin,small.txt}
  windows decrypt "${on_windows[@]}" --type "$type" --user alice \
    "Z:$work/files/$type.from-linux.large.bin.qcm" "Z:$work/files/$type.from-linux.small.txt.qcm" >/dev/null || true
  linux decrypt "${on_linux[@]}" --type "$type" --user alice \
    "$work/files/$type.from-windows.large.bin.qcm" "$work/files/$type.from-windows.small.txt.qcm" >/dev/null || true
  for from in linux windows; do
    for file in large.bin small.txt; do
      if cmp -s "$work/files/$file" "$work/files/$type.from-$from.$file"; then
        echo "$type, $file encrypted on $from: decrypted on the other, identical"
      else
        echo "$type, $file encrypted on $from: NOT decrypted identically on the other"
        failures=$((failures + 1))
      fi
    done
  done
done
echo "cross-platform-files ($QORV_WINE_ARCH): $((16 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
