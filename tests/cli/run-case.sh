#!/usr/bin/env bash
# run-case.sh PLOVEPACK STUB CASE.sh WORKDIR
# Runs one command-line test: CASE.sh runs in a fresh WORKDIR with
# $PLOVEPACK, $STUB and $DATA (tests/cli/data) set; its stdout and stderr
# together, with WORKDIR written as "WORK", must equal CASE.expected, whose
# first line is "status: N" for the exit status of the case's last command.
set -u
plovepack=$1 stub=$2 case=$3 work=$4
expected=${case%.sh}.expected
rm -rf "$work" && mkdir -p "$work" || exit 2
cd "$work" || exit 2
actual=$(PLOVEPACK=$plovepack STUB=$stub DATA=$(dirname "$case")/data bash "$case" 2>&1)
status=$?
actual="status: $status
${actual//$work/WORK}"
if [ "$actual" != "$(cat "$expected")" ]; then
  echo "--- $expected"
  echo "+++ actual"
  diff <(cat "$expected") <(printf '%s\n' "$actual")
  exit 1
fi
