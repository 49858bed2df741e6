#!/usr/bin/env bash
# Runs the Linux test programs under valgrind memcheck: any memory error or leak fails.
# Tests that fault on purpose (the fault guard and the providers that crash) are left
# out: their invalid accesses are the point of them; so is the memory growth test,
# since valgrind holds freed memory back, and so are the races of concurrent store
# changes, whose processes would wait minutes on the slowed one (they run natively). The reference provider's tests run too (about
# three minutes: key generation is slow under valgrind), and the isolating provider's,
# whose helpers run natively (valgrind does not follow them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
filter='-*Fault*:*Child*:MemoryGrowth*:ConcurrentStore*'
status=0
for program in qorv_unit_tests qorv_export_tests qorv_reference_provider_tests qorv_isolation_tests; do
  echo "=== valgrind: $program"
  if ! valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --track-fds=no build/linux/bin/$program --gtest_filter="$filter" --gtest_brief=1; then
    echo "valgrind: $program FAILED"
    status=1
  fi
done
exit $status
