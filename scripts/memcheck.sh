#!/usr/bin/env bash
# The memory check: the test programs (result capture and release, the grid,
# the query window's and the frame's life cycle, batches, and the rest)
# built with AddressSanitizer (build-asan/) and run once against a
# throw-away server. Fails on any test failure, any invalid access and any
# leak. Arguments are passed to ctest (for example: scripts/memcheck.sh -R
# query_tests).
set -uo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX_OVERRIDE="$PWD/.wineprefix-memcheck" VINTREL_UNMANAGED_WINDOWS=1
export VINTREL_BUILD="$PWD/build-asan"
source scripts/common.sh
source scripts/mariadb.sh
source scripts/test-session.sh

programs=(query_tests grid_tests querywindow_tests batch_tests app_tests editor_tests server_tests
          robustness_tests)
started=$(date +%s)

scripts/setup.sh || exit 1
if [ ! -f "$VINTREL_BUILD/CMakeCache.txt" ]; then
  CC=winegcc CXX=wineg++ cmake -S . -B "$VINTREL_BUILD" -DVINTREL_SANITIZE=address >/dev/null || exit 1
fi
note "building ${programs[*]} in $VINTREL_BUILD"
cmake --build "$VINTREL_BUILD" -j "$(nproc)" --target "${programs[@]}" 2>&1 \
  | grep -v -E '^\[ *[0-9]+%\]|^-- '
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
scripts/wineprefix.sh || exit 1

# The server listens on a free port of its own, clear of ./test and of any
# server on 3306 (the tests of TCP connections need one), and its socket.
start_test_server "${VINTREL_TEST_PORT:-$(free_tcp_port 3330)}" || exit 1
restart_wineserver
# The one test that starts the Windows build in a Wine process of its own is
# left out: that process would inherit the sanitizer's run-time, and fail to
# start with it, and it runs none of the code built here.
export GTEST_FILTER='-WindowsBuild.*'
log="$VINTREL_BUILD/memcheck.log"
note "running the memory check (full output in $log)"
pattern="^($(IFS='|'; echo "${programs[*]}"))\$"
ctest_on_display "$VINTREL_BUILD" -R "$pattern" "$@" >"$log" 2>&1
status=$?

grep -E '^[0-9]+: \[ +(FAILED|SKIPPED) +\] [A-Za-z]|^[0-9]+: .*(Failure|Expected|Which is|Value of|Actual|error:)' "$log" \
  | sed -E 's/^[0-9]+: //'
# A sanitizer report also ends its program with an error; say so plainly.
if grep -q -E 'ERROR: (AddressSanitizer|LeakSanitizer)' "$log"; then
  note "the sanitizer reported faults:"
  grep -E 'ERROR: (AddressSanitizer|LeakSanitizer)|^[0-9]+: SUMMARY: AddressSanitizer' "$log" | sed -E 's/^[0-9]+: //'
  status=1
fi
if ! grep -q 'tests passed' "$log"; then status=1; fi
sed -n '/tests passed\|tests failed/,$p' "$log"
note "memory check took $(( $(date +%s) - started )) s"
exit $status
