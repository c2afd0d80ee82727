#!/usr/bin/env bash
# Installs what is missing, builds all three targets, and runs every test:
# the native tests, the Windows-side tests under wine64 and Xvfb, the native
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# fuzz targets for a bounded time.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" native win64 win32 asan fuzz || { echo "build failed"; exit 1; }

passed=0
failed=0
failures=()
run_suite() {  # name, build dir, extra ctest args...
  local name=$1 dir=$2; shift 2
  echo "== test $name"
  local log="$root/build/$dir/ctest-$name.log"
  (cd "$root/build/$dir" && ctest --output-on-failure --timeout 600 "$@") 2>&1 | tee "$log"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then return; fi
    failed=$((failed + 1)); failures+=("$name: ctest did not finish"); return
  fi
  local total bad
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "$bad" -eq 0 ] || failures+=("$name: $bad failed")
}

run_suite native native -j2
run_suite windows win64
run_suite sanitizers asan -j2
run_suite fuzz fuzz

# The release packages (tests/package/package_test.sh): built twice and
# compared, lintian, the .deb installed and removed, the win64 zip under Wine.
echo "== test package"
"$root/tests/package/package_test.sh" 2>&1 | tee "$root/build/package-test.log"
package_line=$(grep -E '^package: [0-9]+ passed, [0-9]+ failed$' "$root/build/package-test.log" | tail -1)
if [ -z "$package_line" ]; then
  failed=$((failed + 1)); failures+=("package: the test did not finish")
else
  passed=$((passed + $(sed -E 's/package: ([0-9]+) passed.*/\1/' <<<"$package_line")))
  package_bad=$(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$package_line")
  failed=$((failed + package_bad))
  [ "$package_bad" -eq 0 ] || failures+=("package: $package_bad failed")
fi

echo
for f in "${failures[@]}"; do echo "FAILED $f"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
