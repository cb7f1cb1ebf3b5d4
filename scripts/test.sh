#!/usr/bin/env bash
# Sets everything up, builds the four trees (host-release for the packages
# test) and runs every test suite: the native suites of the host tree, then
# the Windows suites of the x86_64 and the i686 trees under Wine, the two
# trees side by side (each has its own template prefix and display). Where
# this machine runs no 32-bit programs, the i686 suites report themselves
# skipped and the summary says why.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/setup.sh || exit 1
start=$(date +%s)
bash scripts/build.sh host win64 win32 host-release || exit 1
echo "test.sh: all trees built in $(( $(date +%s) - start ))s"

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
passed=0; failed=0; skipped=0; status=0; skipped_names=""
# run_suites NAME CTEST-ARGS...: runs ctest, its output to $logs/NAME.log and
# its exit status to $logs/NAME.status.
run_suites() {
  local name=$1; shift
  local t0=$(date +%s)
  ctest "$@" --output-on-failure -j "$(nproc)" > "$logs/$name.log" 2>&1
  echo $? > "$logs/$name.status"
  echo "test.sh: $name suites took $(( $(date +%s) - t0 ))s" >> "$logs/$name.log"
}
# count NAME: adds the run's figures to the totals.
count() {
  local name=$1 line total bad none
  [ "$(cat "$logs/$name.status")" = 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$name.log" | tail -n 1)
  if [ -z "$line" ]; then
    status=1
    return
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  none=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$logs/$name.log")
  skipped_names+=$(sed -nE "s/^[[:space:]]+[0-9]+ - (.*) \(Skipped\)$/ \1 ($name)/p" "$logs/$name.log" | tr -d '\n')
  passed=$((passed + total - bad - none)); failed=$((failed + bad)); skipped=$((skipped + none))
}

run_suites host --test-dir build/host
cat "$logs/host.log"; count host

run_suites wine-x86_64 --test-dir build/win64 &
x64=$!
run_suites wine-i686 --test-dir build/win32 &
x86=$!
wait $x64; cat "$logs/wine-x86_64.log"; count wine-x86_64
wait $x86; cat "$logs/wine-i686.log"; count wine-i686

# Nothing of Wine or the X server started by this run may outlive it: look
# for processes whose Wine prefix lies in one of this checkout's build trees.
leftover=""
for pid in $(pgrep -f 'wine|\.exe|Xvfb' || true); do
  # A process may end while it is looked at: its files vanish, quietly.
  if { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qE "^WINEPREFIX=$top/build/win(64|32)/wine/"; then
    state=$( { awk '{print $3}' "/proc/$pid/stat"; } 2>/dev/null)
    [ "$state" = Z ] || leftover+="$( { tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null)"$'\n'
  fi
done
for tree in win64 win32; do
  xvfb_pid_file=$top/build/$tree/wine/xvfb.pid
  if [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null; then
    leftover+="Xvfb $(cat "$xvfb_pid_file") ($tree)"$'\n'
  fi
done
if [ -n "$leftover" ]; then
  echo "test.sh: processes left running:"; echo "$leftover"
  status=1
fi

[ -z "$skipped_names" ] || echo "test.sh: skipped:$skipped_names"
if [ -f build/win32/wine/unavailable ]; then
  echo "test.sh: the i686 Windows suites were skipped: $(cat build/win32/wine/unavailable)"
fi
echo "all suites: $passed passed, $failed failed, $skipped skipped"
exit $status
