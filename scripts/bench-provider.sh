#!/usr/bin/env bash
# Measures the reference provider through the library: encryption and decryption of a
# file (1 GiB by default; SIZE_MIB=... to change) in plain and password mode, with the
# peak memory of each run, next to `openssl speed -evp aes-256-gcm` on this machine.
# A benchmark, not a test: it reports figures against the goals and fails on nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${SIZE_MIB:-1024}

cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cp build/linux/bin/libQorvCryptManage.so build/linux/bin/qorvcrypt "$work/bin/"
provider=$(pwd)/build/linux/bin/libQorvReferenceProvider.so
head -c 32 /dev/urandom >"$work/file.key"
cat >"$work/crypt.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<CRYPTS>
  <CRYPT><NAME>Plain</NAME><LIBPATH>$provider</LIBPATH><MODE>0</MODE><DESC>key file</DESC>
    <EXTENDS><EXT-PARAM><PARAM-NAME>KeyFile</PARAM-NAME><PARAM-VALUE>$work/file.key</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT>
  <CRYPT><NAME>Password</NAME><LIBPATH>$provider</LIBPATH><MODE>2</MODE><DESC>password</DESC></CRYPT>
</CRYPTS>
XML
qorvcrypt=("$work/bin/qorvcrypt")
common=(--config "$work/crypt.xml" --user bench)
"${qorvcrypt[@]}" set-password "${common[@]}" --type Password --params "PassWord=bench-password" >/dev/null

echo "Writing a ${size_mib} MiB test file ..."
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/data"

# Prints "<MiB/s> <peak MiB>" for one qorvcrypt run.
measure() {
  local stats
  stats=$({ /usr/bin/time -f "%e %M" "${qorvcrypt[@]}" "$@" >/dev/null; } 2>&1 | tail -n 1)
  awk -v size="$size_mib" -v s="$stats" 'BEGIN { split(s, f, " "); printf "%.0f %.1f\n", size / f[1], f[2] / 1024 }'
}

openssl_mibs=$(openssl speed -evp aes-256-gcm -seconds 3 -bytes 65536 2>/dev/null |
  awk '/^AES-256-GCM|^aes-256-gcm/ { v = $NF; sub(/k$/, "", v); printf "%.0f", v * 1000 / 1048576 }')

printf '\n%-22s %12s %10s %12s\n' "run" "MiB/s" "peak MiB" "vs openssl"
printf '%-22s %12s %10s %12s\n' "openssl speed (64 KiB)" "$openssl_mibs" "-" "1.00"
for type in Plain Password; do
  for op in encrypt decrypt; do
    if [ "$op" = encrypt ]; then
      read -r mibs peak < <(measure encrypt "${common[@]}" --type "$type" --output "$work/data.qcm" "$work/data")
    else
      read -r mibs peak < <(measure decrypt "${common[@]}" --type "$type" --output "$work/data.out" "$work/data.qcm")
      cmp -s "$work/data" "$work/data.out" || echo "warning: $type round trip differs"
    fi
    ratio=$(awk -v a="$mibs" -v b="$openssl_mibs" 'BEGIN { printf "%.2f", a / b }')
    printf '%-22s %12s %10s %12s\n' "$type $op" "$mibs" "$peak" "$ratio"
  done
done
echo
echo "Goals: at least 0.80 of openssl's speed in both modes; peak memory under 32 MiB."
echo "Machine: $(nproc) cores, $(awk '/model name/ { sub(/.*: /, ""); print; exit }' /proc/cpuinfo)"
