#!/usr/bin/env bash
# Installs what is missing (scripts/install-deps.sh), builds all targets and runs every
# test suite: Linux, Linux with ASan+UBSan, Windows x86_64 under wine64 and Windows i686
# under 32-bit wine (with its export check), then the Linux suites under valgrind
# memcheck and each fuzzing harness for a short while (QORV_FUZZ_SECONDS, default 20).
#
# The i686 suites run natively where 32-bit wine starts, and otherwise in a virtual
# machine whose kernel runs 32-bit programs (scripts/run-in-vm.sh), all in one boot.
# QORV_I686_RUNNER=native or vm chooses the way instead (default auto); the way taken
# is printed. Where neither works, the run fails: the i686 suites are never skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

runner=${QORV_I686_RUNNER:-auto}
case $runner in
  auto)
    if scripts/wine32-works.sh; then runner=native; else runner=vm; fi
    ;;
  native | vm) ;;
  *)
    echo "test-all: QORV_I686_RUNNER must be auto, native or vm, not '$runner'" >&2
    exit 2
    ;;
esac
case $runner in
  native) i686_way="natively, under 32-bit wine on this machine's kernel" ;;
  vm) i686_way="in a virtual machine (scripts/run-in-vm.sh), under 32-bit wine on the guest's kernel" ;;
esac
echo "test-all: the i686 suites run $i686_way"

presets=(linux linux-asan windows-x86_64 windows-i686)
for preset in "${presets[@]}"; do
  echo "=== build: $preset"
  # The Windows builds' static libcrypto, if this machine has none yet.
  case $preset in windows-*) scripts/build-openssl-mingw.sh "${preset#windows-}" ;; esac
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

i686_problem() {
  cat <<WARN
##########################################################################
# The i686 test suites could NOT run ($i686_way):
# $1
##########################################################################
WARN
}

# The guest is emulated: its tests get limits QORV_TEST_TIMEOUT_SCALE times their own,
# and the whole run QORV_VM_TIMEOUT seconds.
run_i686() {
  if [ "$runner" = native ]; then
    if ! scripts/wine32-works.sh; then
      i686_problem "32-bit wine does not start here (the kernel refuses 32-bit programs, or wine32 is missing)"
      return 1
    fi
    ctest --preset windows-i686
    return
  fi
  if [ ! -x /usr/lib/wine/wine ]; then
    i686_problem "32-bit wine (wine32:i386) is not installed"
    return 1
  fi
  mkdir -p build/windows-i686/Testing
  local status=0
  # The growth test with the reference provider makes 1,200 requests there, not 3,600
  # (about 30 minutes under emulation): still more loads than a process has
  # thread-local slots.
  QORV_GROWTH_ROUNDS=${QORV_GROWTH_ROUNDS:-100} QORV_TEST_TIMEOUT_SCALE=${QORV_TEST_TIMEOUT_SCALE:-6} scripts/run-in-vm.sh --timeout "${QORV_VM_TIMEOUT:-3600}" \
    --share build/windows-i686/Testing -- ctest --preset windows-i686 || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 125 ]; then
    i686_problem "the virtual machine did not run them to the end (status $status)"
  fi
  return "$status"
}

failed=()
for preset in "${presets[@]}"; do
  echo "=== test: $preset"
  if [ "$preset" = windows-i686 ]; then
    run_i686 || failed+=("$preset")
  else
    ctest --preset "$preset" || failed+=("$preset")
  fi
done

echo "=== valgrind memcheck: the Linux suites"
scripts/valgrind.sh || failed+=(valgrind)

echo "=== fuzz: every harness for a short while"
scripts/fuzz.sh "${QORV_FUZZ_SECONDS:-20}" || failed+=(fuzz)

echo "test-all: the i686 suites ran $i686_way"
if [ ${#failed[@]} -gt 0 ]; then
  echo "test-all: FAILED: ${failed[*]}"
  exit 1
fi
echo "test-all: every suite passed"
