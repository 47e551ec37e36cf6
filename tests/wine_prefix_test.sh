#!/bin/sh
# tools/wine-run makes its Wine prefix sound again, whatever a failed or
# stopped run left behind: a step that fails leaves no ready marker, and a
# marker whose work is gone, or a prefix that cannot run a program, is made
# anew.  Each case starts from a copy (hard links) of a made prefix.
#
#   wine_prefix_test.sh WINE_RUN MADE_PREFIX
set -u
wine_run=$1
made=$2
export WINEDEBUG=-all

# The build tree's prefix, made as for any test; the copies lie beside it, on
# the same file system.
"$wine_run" "$made" cmd.exe /c exit || {
  echo "cannot make $made"
  exit 1
}
scratch=$(mktemp -d "$made-test.XXXXXX")
prefix=$scratch/prefix
stop_server() {
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  return 0
}
trap 'stop_server; rm -rf "$scratch"' EXIT

failures=0
check() {
  what=$1
  shift
  if "$@"; then
    echo "ok: $case_name: $what"
  else
    echo "FAILED: $case_name: $what"
    failures=$((failures + 1))
  fi
}

# A copy of the made prefix without its server's lock file, which the copy's
# own server writes anew.
copy_made() {
  stop_server
  rm -rf "$prefix"
  cp -al "$made" "$prefix" && rm -f "$prefix/wineserver"
}

value_kept() {
  grep -q 'QLX_TEST_LOCAL_APP_DATA' "$prefix/user.reg"
}
shell_folder_seen() {
  "$wine_run" "$prefix" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
    /v 'Local AppData' </dev/null 2>/dev/null | grep -q '%QLX_TEST_LOCAL_APP_DATA%'
}
runs() {
  "$wine_run" "$prefix" cmd.exe /c exit </dev/null >"$scratch/out" 2>"$scratch/err"
}
fails_with_message() {
  ! runs && grep -q "^wine-run: cannot make the Wine prefix $prefix\$" "$scratch/err"
}
made_whole() {
  [ -f "$prefix/.ready" ] && [ -f "$prefix/.local-app-data" ] && [ -s "$prefix/system.reg" ] &&
    value_kept && shell_folder_seen
}

case_name=FailedStepLeavesNoMarker
copy_made
rm -f "$prefix/.local-app-data"
sed -i '/QLX_TEST_LOCAL_APP_DATA/d' "$prefix/user.reg"
mkdir -p "$scratch/failing"
printf '#!/bin/sh\nexit 1\n' >"$scratch/failing/wine"
chmod +x "$scratch/failing/wine"
with_failing_wine() (
  PATH="$scratch/failing:$PATH"
  "$@"
)
check "a wine that fails the step fails the run, saying why" with_failing_wine fails_with_message
check "no marker for the failed step" test ! -e "$prefix/.local-app-data"
check "the next run does the step" runs
check "made whole" made_whole

case_name=MarkerWithoutItsValue
copy_made
sed -i '/QLX_TEST_LOCAL_APP_DATA/d' "$prefix/user.reg"
check "runs" runs
check "made whole" made_whole

case_name=MarkersOverAFailedBoot
copy_made
rm -f "$prefix/system.reg"
check "runs" runs
check "made whole" made_whole

case_name=PrefixThatRunsNothing
copy_made
rm -f "$prefix/drive_c/windows/system32/kernel32.dll"
check "runs" runs
check "made whole" made_whole
check "kernel32.dll is back" test -s "$prefix/drive_c/windows/system32/kernel32.dll"

[ "$failures" -eq 0 ]
