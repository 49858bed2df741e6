#!/usr/bin/env bash
# Measures the reference provider through the library: encryption and decryption of a
# file (1 GiB by default; SIZE_MIB=... to change) in plain and password mode, with the
# peak memory of each run, next to `openssl speed -evp aes-256-gcm` on this machine and
# a `dd` copy of the same file with fsync (what reading and durably writing it costs).
# Each figure is the median of RUNS runs (3 by default).
# A benchmark, not a test: it reports figures against the goals and fails on nothing.
# QORV_BENCH_BUILD_DIR builds in another folder than build/linux; BENCH_DIR puts the
# files elsewhere than $TMPDIR (BENCH_DIR=/dev/shm takes the disk out of the figures).
# QORV_BENCH_TARGET=windows-x86_64 measures the x86_64 DLLs under wine64 instead (the
# peak memory is then the wine process's).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${SIZE_MIB:-1024}
runs=${RUNS:-3}
target=${QORV_BENCH_TARGET:-linux}
build_dir=${QORV_BENCH_BUILD_DIR:-build/$target}

cmake --preset "$target" -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target QorvReferenceProvider qorvcrypt QorvCryptManage >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/qorv-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
if [ "$target" = linux ]; then
  cp "$build_dir/bin/libQorvCryptManage.so" "$build_dir/bin/qorvcrypt" "$work/bin/"
  provider=$(pwd)/$build_dir/bin/libQorvReferenceProvider.so
  host() { printf '%s' "$1"; }
  qorvcrypt=("$work/bin/qorvcrypt")
else
  cp "$build_dir/bin/QorvCryptManage.dll" "$build_dir/bin/qorvcrypt.exe" "$build_dir/bin/QorvReferenceProvider.dll" \
    "$work/bin/"
  provider=Z:$work/bin/QorvReferenceProvider.dll
  host() { printf 'Z:%s' "$1"; }
  prefix=$(pwd)/$build_dir/wineprefix
  qorvcrypt=("$(pwd)/cmake/wine-run.sh" win64 "$prefix" "$work/bin/qorvcrypt.exe")
  "$(pwd)/cmake/wine-run.sh" win64 "$prefix" wineboot -i >/dev/null 2>&1
fi
head -c 32 /dev/urandom >"$work/file.key"
cat >"$work/crypt.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<CRYPTS>
  <CRYPT><NAME>Plain</NAME><LIBPATH>$provider</LIBPATH><MODE>0</MODE><DESC>key file</DESC>
    <EXTENDS><EXT-PARAM><PARAM-NAME>KeyFile</PARAM-NAME><PARAM-VALUE>$(host "$work/file.key")</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT>
  <CRYPT><NAME>Password</NAME><LIBPATH>$provider</LIBPATH><MODE>2</MODE><DESC>password</DESC></CRYPT>
</CRYPTS>
XML
common=(--config "$(host "$work/crypt.xml")" --user bench)
"${qorvcrypt[@]}" set-password "${common[@]}" --type Password --params "PassWord=bench-password" >/dev/null

echo "Writing a ${size_mib} MiB test file ..."
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/data"
# On disk before the first run, so that no run shares the disk with its writeback.
sync "$work/data"

# Prints "<MiB/s> <peak MiB>" for a command that writes target: the median speed and the
# highest peak of $runs runs. The target is removed before each run (outside the timing),
# so that every run writes a new file rather than also deleting the previous one.
# Under wine the time is the one qorvcrypt reports for the file ("(N bytes, T s)"):
# starting wine itself takes seconds, which a Windows host process does not pay per file.
measure() {
  local target=$1 speeds=() peak=0 start end kib output seconds
  shift
  output=$work/measure.out
  for ((run = 0; run < runs; run++)); do
    rm -f "$target"
    start=$EPOCHREALTIME
    kib=$({ /usr/bin/time -f "%M" "$@" >"$output"; } 2>&1 | tail -n 1)
    end=$EPOCHREALTIME
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ "$target" != "$work/copy" ] && [ "${QORV_BENCH_TARGET:-linux}" != linux ]; then
      seconds=$(tr -d '\r' <"$output" | sed -n 's/.* bytes, \([0-9.]*\) s).*/\1/p' | tail -n 1)
    fi
    speeds+=("$(awk -v size="$size_mib" -v t="$seconds" 'BEGIN { printf "%.0f", size / t }')")
    peak=$((kib > peak ? kib : peak))
  done
  printf '%s %s\n' "$(printf '%s\n' "${speeds[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
    "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')"
}

openssl_mibs=$(openssl speed -evp aes-256-gcm -seconds 3 -bytes 65536 2>/dev/null |
  awk '/^AES-256-GCM|^aes-256-gcm/ { v = $NF; sub(/k$/, "", v); printf "%.0f", v * 1000 / 1048576 }')

printf '\n%-22s %12s %10s %12s\n' "run" "MiB/s" "peak MiB" "vs openssl"
printf '%-22s %12s %10s %12s\n' "openssl speed (64 KiB)" "$openssl_mibs" "-" "1.00"
row() {
  local ratio
  ratio=$(awk -v a="$2" -v b="$openssl_mibs" 'BEGIN { printf "%.2f", a / b }')
  printf '%-22s %12s %10s %12s\n' "$1" "$2" "$3" "$ratio"
}
read -r mibs peak < <(measure "$work/copy" dd if="$work/data" of="$work/copy" bs=1M conv=fsync status=none)
rm -f "$work/copy"
row "dd copy, fsync (1 MiB)" "$mibs" "$peak"
for type in Plain Password; do
  for op in encrypt decrypt; do
    if [ "$op" = encrypt ]; then
      read -r mibs peak < <(measure "$work/data.qcm" "${qorvcrypt[@]}" encrypt "${common[@]}" --type "$type" \
        --output "$(host "$work/data.qcm")" "$(host "$work/data")")
    else
      read -r mibs peak < <(measure "$work/data.out" "${qorvcrypt[@]}" decrypt "${common[@]}" --type "$type" \
        --output "$(host "$work/data.out")" "$(host "$work/data.qcm")")
      cmp -s "$work/data" "$work/data.out" || echo "warning: $type round trip differs"
    fi
    row "$type $op" "$mibs" "$peak"
  done
done
echo
echo "Goals: at least 0.80 of openssl's speed in both modes; peak memory under 32 MiB."
echo "Target: $target"
echo "Files in: $(df --output=fstype "$work" | tail -n 1) ($(dirname "$work"))"
echo "Machine: $(nproc) cores, $(awk '/model name/ { sub(/.*: /, ""); print; exit }' /proc/cpuinfo)"
