#!/usr/bin/env bash
# A whole deployment with qorvcrypt, the library and the reference provider, step by
# step: a CA, a server identity and a user, their certificates installed, a stored
# password, and files encrypted and decrypted in each mode, one type with the reference
# provider isolated in a helper process. BIN_DIR holds the built library, qorvcrypt,
# the reference provider and the isolating provider with its helper (default
# build/linux/bin). The
# deployment stays in a temporary folder, unless QORV_WALKTHROUGH_CLEANUP=1.
#
# Windows builds run under wine: QORV_WINE_ARCH=win64 (x86_64) or win32 (i686) and
# QORV_WINEPREFIX, with BIN_DIR holding qorvcrypt.exe, QorvCryptManage.dll,
# QorvReferenceProvider.dll, QorvIsolatingProvider.dll and qorvcrypt-provider-host.exe.
# The programs then see the files through wine's Z: drive.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bin=$(cd "${1:-build/linux/bin}" && pwd)
wine_arch=${QORV_WINE_ARCH:-}

step() { printf '\n==> %s\n' "$*"; }
run() {
  printf '$ %s\n' "$*"
  "$@"
}
# The value of NAME in a parameter string.
value_of() { printf '%s' "$1" | tr -d '\r' | tr ';' '\n' | sed -n "s/^$2=//p" | head -n 1; }

demo=$(mktemp -d /tmp/qorvcrypt-demo.XXXXXX)
step "A deployment in $demo: the library and qorvcrypt in bin/ (the stores go to bin/CA/)"
mkdir -p "$demo/bin" "$demo/ca" "$demo/issued" "$demo/files"
if [ -n "$wine_arch" ]; then
  cp "$bin/QorvCryptManage.dll" "$bin/qorvcrypt.exe" "$bin/QorvReferenceProvider.dll" \
    "$bin/QorvIsolatingProvider.dll" "$bin/qorvcrypt-provider-host.exe" "$demo/bin/"
  # How the Windows programs name a file of this machine.
  host() { printf 'Z:%s' "$1"; }
  provider=$(host "$demo/bin/QorvReferenceProvider.dll")
  isolating=$(host "$demo/bin/QorvIsolatingProvider.dll")
  qorvcrypt() { "$root/cmake/wine-run.sh" "$wine_arch" "${QORV_WINEPREFIX:?}" "$demo/bin/qorvcrypt.exe" "$@"; }
else
  cp "$bin/libQorvCryptManage.so" "$bin/qorvcrypt" "$demo/bin/"
  host() { printf '%s' "$1"; }
  provider=$bin/libQorvReferenceProvider.so
  isolating=$bin/libQorvIsolatingProvider.so
  qorvcrypt() { "$demo/bin/qorvcrypt" "$@"; }
fi

step "A certificate authority for the deployment (OpenSSL)"
run openssl req -x509 -newkey rsa:2048 -keyout "$demo/ca/ca.key" -passout pass:demo-ca-secret \
  -out "$demo/ca/ca.crt" -days 30 -subj "/CN=QorvCrypt Demo CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
head -c 32 /dev/urandom >"$demo/ca/file.key"

step "The crypto configuration: a certificate type with two pairs, a password type, a key-file type, and the
    key-file type again with the provider run in a helper process"
cat >"$demo/crypt.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<CRYPTCONFIG>
  <CRYPT>
    <NAME>CertPair</NAME><LIBPATH>$provider</LIBPATH><MODE>1</MODE><DESC>证书模式（签名与加密双证书）</DESC>
    <CA><CAMODE>1</CAMODE><CAISMULTI>1</CAISMULTI><ROOTCERTFILE>$(host "$demo/ca/ca.crt")</ROOTCERTFILE></CA>
    <EXTENDS>
      <EXT-PARAM><PARAM-NAME>RevenueCode</PARAM-NAME><PARAM-VALUE>12</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CACertFile</PARAM-NAME><PARAM-VALUE>$(host "$demo/ca/ca.crt")</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CAKeyFile</PARAM-NAME><PARAM-VALUE>$(host "$demo/ca/ca.key")</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CAKeyPwd</PARAM-NAME><PARAM-VALUE>demo-ca-secret</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>CertOutDir</PARAM-NAME><PARAM-VALUE>$(host "$demo/issued")</PARAM-VALUE></EXT-PARAM>
    </EXTENDS>
  </CRYPT>
  <CRYPT>
    <NAME>Password</NAME><LIBPATH>$provider</LIBPATH><MODE>2</MODE><DESC>口令模式</DESC>
    <EXTENDS><EXT-PARAM><PARAM-NAME>KdfCost</PARAM-NAME><PARAM-VALUE>14</PARAM-VALUE></EXT-PARAM></EXTENDS>
  </CRYPT>
  <CRYPT>
    <NAME>Plain</NAME><LIBPATH>$provider</LIBPATH><MODE>0</MODE><DESC>普通模式（密钥文件）</DESC>
    <EXTENDS><EXT-PARAM><PARAM-NAME>KeyFile</PARAM-NAME><PARAM-VALUE>$(host "$demo/ca/file.key")</PARAM-VALUE></EXT-PARAM></EXTENDS>
  </CRYPT>
  <CRYPT>
    <NAME>Isolated</NAME><LIBPATH>$isolating</LIBPATH><MODE>0</MODE><DESC>普通模式（加解密组件在独立进程中运行）</DESC>
    <EXTENDS>
      <EXT-PARAM><PARAM-NAME>IsolatedLibPath</PARAM-NAME><PARAM-VALUE>$provider</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>IsolatedTimeout</PARAM-NAME><PARAM-VALUE>600000</PARAM-VALUE></EXT-PARAM>
      <EXT-PARAM><PARAM-NAME>KeyFile</PARAM-NAME><PARAM-VALUE>$(host "$demo/ca/file.key")</PARAM-VALUE></EXT-PARAM>
    </EXTENDS>
  </CRYPT>
</CRYPTCONFIG>
XML
config=(--config "$(host "$demo/crypt.xml")")
run qorvcrypt list "${config[@]}"

step "The server's identity: keys and certificates issued by the CA, installed as the server record"
server=$(qorvcrypt create "${config[@]}" --type CertPair --user server --raw)
printf 'created: %s\n' "$(value_of "$server" EncCertFile) and $(value_of "$server" SignCertFile)"
run qorvcrypt set-server "${config[@]}" --type CertPair \
  --params "RevenueEncCertFile=$(value_of "$server" EncCertFile);RevenueSignCertFile=$(value_of "$server" SignCertFile)"

step "A user, alice: her keys and certificates, installed as her certificate set"
alice=$(qorvcrypt create "${config[@]}" --type CertPair --user alice --raw)
run qorvcrypt set-ca "${config[@]}" --type CertPair --user alice --params "$alice"
run qorvcrypt validate "${config[@]}" --type CertPair --user alice

step "A stored password for alice in the password type"
run qorvcrypt set-password "${config[@]}" --type Password --user alice --params "PassWord=correct horse battery staple"

step "Sample files"
head -c $((3 * 1024 * 1024 + 17)) /dev/urandom >"$demo/files/photo.bin"
printf '机密报告：第三季度数据。\nConfidential report.\n' >"$demo/files/report.txt"
ls -l "$demo/files"

for type in CertPair Password Plain Isolated; do
  step "Encrypt and decrypt in the $type type"
  run qorvcrypt encrypt "${config[@]}" --type "$type" --user alice --suffix ".$type.qcm" \
    "$(host "$demo/files/photo.bin")" "$(host "$demo/files/report.txt")"
  for file in photo.bin report.txt; do
    run qorvcrypt decrypt "${config[@]}" --type "$type" --user alice \
      --output "$(host "$demo/files/$file.$type.out")" "$(host "$demo/files/$file.$type.qcm")"
    if cmp -s "$demo/files/$file" "$demo/files/$file.$type.out"; then
      echo "round trip of $file in $type: identical"
    else
      echo "round trip of $file in $type: DIFFERS"
      exit 1
    fi
  done
done

step "The isolated provider is the same provider: a file of the Plain type decrypts in the Isolated type"
run qorvcrypt decrypt "${config[@]}" --type Isolated --user alice \
  --output "$(host "$demo/files/report.txt.cross.out")" "$(host "$demo/files/report.txt.Plain.qcm")"
cmp "$demo/files/report.txt" "$demo/files/report.txt.cross.out" && echo "identical"

step "What the library keeps for alice (GetCryptInfo)"
run qorvcrypt info "${config[@]}" --type CertPair --user alice
step "A tampered file is refused"
cp "$demo/files/report.txt.Plain.qcm" "$demo/files/tampered.qcm"
size=$(stat -c %s "$demo/files/tampered.qcm")
# One bit of the middle byte flipped: the file differs, whatever byte was there.
middle=$(od -An -tu1 -j $((size / 2)) -N1 "$demo/files/tampered.qcm" | tr -d ' ')
printf "\\$(printf '%03o' $((middle ^ 1)))" | dd of="$demo/files/tampered.qcm" bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
if cmp -s "$demo/files/report.txt.Plain.qcm" "$demo/files/tampered.qcm"; then
  echo "the file was not changed"
  exit 1
fi
if qorvcrypt decrypt "${config[@]}" --type Plain --user alice --output "$(host "$demo/files/tampered.out")" \
  "$(host "$demo/files/tampered.qcm")"; then
  echo "the tampered file was accepted"
  exit 1
fi

if [ "${QORV_WALKTHROUGH_CLEANUP:-0}" = 1 ]; then
  rm -rf "$demo"
  step "Done."
else
  step "Done. Everything is in $demo (remove it when you are finished)."
fi
