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
# The build folder may be private to root: run a copy from a folder anyone can enter.
copy_dir=$(mktemp -d) || exit 77
trap 'rm -rf "$copy_dir"' EXIT
chmod 755 "$copy_dir"
cp "$program" "$copy_dir/" || exit 77
copy="$copy_dir/$(basename "$program")"
"${as_nobody[@]}" test -x "$copy" || { echo "nobody cannot run $copy"; exit 77; }
cd "$copy_dir" || exit 77
output=$("${as_nobody[@]}" "$copy" --gtest_filter="$filter" 2>&1)
status=$?
echo "$output"
# A case that still skipped did not test anything.
if echo "$output" | grep -q '\[  SKIPPED \]'; then exit 1; fi
exit $status
