#!/usr/bin/env bash
# Sets everything up, builds the four trees (host-release for the packages
# test) and runs every test suite:
# the native suites of the host tree and the Windows suites under Wine.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/setup.sh || exit 1
start=$(date +%s)
bash scripts/build.sh host win64 win32 host-release || exit 1
echo "test.sh: all trees built in $(( $(date +%s) - start ))s"

passed=0; failed=0; status=0
run_suite() {
  local name=$1; shift
  local log
  log=$(mktemp)
  local t0=$(date +%s)
  ctest "$@" --output-on-failure -j "$(nproc)" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local total bad
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
  else
    status=1
  fi
  echo "test.sh: $name suites took $(( $(date +%s) - t0 ))s"
  rm -f "$log"
}

run_suite host --test-dir build/host
run_suite wine --test-dir build/win64

# Nothing of Wine or the X server started by this run may outlive it: look
# for processes whose Wine prefix lies in this checkout's build tree.
leftover=""
for pid in $(pgrep -f 'wine|\.exe|Xvfb' || true); do
  # A process may end while it is looked at: its files vanish, quietly.
  if { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -q "^WINEPREFIX=$top/build/win64/wine/"; then
    state=$( { awk '{print $3}' "/proc/$pid/stat"; } 2>/dev/null)
    [ "$state" = Z ] || leftover+="$( { tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null)"$'\n'
  fi
done
xvfb_pid_file=$top/build/win64/wine/xvfb.pid
if [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null; then
  leftover+="Xvfb $(cat "$xvfb_pid_file")"$'\n'
fi
if [ -n "$leftover" ]; then
  echo "test.sh: processes left running:"; echo "$leftover"
  status=1
fi

echo "all suites: $passed passed, $failed failed"
exit $status
