#!/usr/bin/env bash
# Runs a test program's permission cases as an unprivileged user: root writes through read-only
# folders, so under root those cases would only skip. Exit 77 (skipped) when that is impossible.
set -u
program=$1
filter=$2
if [ "$(id -u)" -ne 0 ]; then
  exec "$program" --gtest_filter="$filter"
fi
command -v setpriv >/dev/null 2>&1 || { echo "setpriv missing"; exit 77; }
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
"${as_nobody[@]}" test -x "$program" || { echo "nobody cannot run $program"; exit 77; }
cd /tmp || exit 77
output=$("${as_nobody[@]}" "$program" --gtest_filter="$filter" 2>&1)
status=$?
echo "$output"
# A case that still skipped did not test anything.
if echo "$output" | grep -q '\[  SKIPPED \]'; then exit 1; fi
exit $status
