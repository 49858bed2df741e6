#!/usr/bin/env bash
# Builds all targets and runs every test suite: Linux, Linux with ASan+UBSan,
# Windows x86_64 under wine64 and Windows i686 under 32-bit wine (with its export check),
# then the Linux suites under valgrind memcheck and each fuzzing harness for a short
# while (QORV_FUZZ_SECONDS, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(linux linux-asan windows-x86_64 windows-i686)
for preset in "${presets[@]}"; do
  echo "=== build: $preset"
  # The Windows builds' static libcrypto, if this machine has none yet.
  case $preset in windows-*) scripts/build-openssl-mingw.sh "${preset#windows-}" ;; esac
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

failed=()
for preset in "${presets[@]}"; do
  echo "=== test: $preset"
  label_args=()
  if [ "$preset" = windows-i686 ] && ! scripts/wine32-works.sh; then
    cat <<'WARN'
##########################################################################
# WARNING: 32-bit wine cannot run on this machine (the kernel refuses
# 32-bit programs, or wine32 is not installed). The i686 test suites are
# NOT run; only the i686 DLL's export and import check runs.
##########################################################################
WARN
    label_args=(-L static)
  fi
  ctest --preset "$preset" "${label_args[@]}" || failed+=("$preset")
done

echo "=== valgrind memcheck: the Linux suites"
scripts/valgrind.sh || failed+=(valgrind)

echo "=== fuzz: every harness for a short while"
scripts/fuzz.sh "${QORV_FUZZ_SECONDS:-20}" || failed+=(fuzz)

if [ ${#failed[@]} -gt 0 ]; then
  echo "test-all: FAILED: ${failed[*]}"
  exit 1
fi
echo "test-all: every suite passed"
