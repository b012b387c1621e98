#!/usr/bin/env bash
# The Wine tests of the engine library quillax.dll:
#
#   tests/wine/run.sh WIN32_BUILD_DIR
#
# 1. registration: `regsvr32 /s` writes every key and value of the class registration and the
#    type library (checked with `wine reg query`), `regsvr32 /u /s` removes them again;
# 2. control.js: Wine's cscript creates the control with new ActiveXObject("quillax.qlx") and
#    calls every member by name on a small installation (make_installation.py), with script
#    objects standing in for the browser's window;
# 3. quillax_com_tests.exe: thread timers, the popup window and its messages, the control's
#    interfaces, and the library loaded and unloaded many times in one process.
#
# Programs run through cmake/wine-run.sh in a Wine prefix of their own beside the build's
# (WIN32_BUILD_DIR/wineprefix-com, or QUILLAX_WINE_TEST_PREFIX), created on first use, with the
# headless graphics driver (windows without a display) and without MSHTML (it cannot render
# here and would ask for its engine). Exits non-zero when anything fails; the last line says
# "N passed, N failed".
set -uo pipefail

if [[ $# -ne 1 || ! -d $1 ]]; then
  echo "usage: $0 WIN32_BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dll=$build/bin/quillax.dll
unit_tests=$build/bin/quillax_com_tests.exe
prefix=${QUILLAX_WINE_TEST_PREFIX:-$build/wineprefix-com}

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
finish() {
  if [[ $failed -ne 0 ]]; then
    echo "tests/wine/run.sh: $failed Wine test(s) of quillax.dll failed (see the FAIL lines)" >&2
    echo "$passed passed, $failed failed"
    exit 1
  fi
  echo "$passed passed, $failed failed"
  exit 0
}

for file in "$dll" "$unit_tests"; do
  if [[ ! -f $file ]]; then
    fail "missing $file: build the win32 preset first (cmake --build --preset win32)"
    finish
  fi
done

export WINEDLLOVERRIDES="mscoree,mshtml="
wine_run() { "$repo/cmake/wine-run.sh" "$prefix" "$@"; }
# A Linux path as Windows sees it (drive Z: is the Linux root).
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

work=$(mktemp -d)
registered=0
# The prefix is left without the registration, whatever happened.
cleanup() {
  if [[ $registered -eq 1 ]]; then
    wine_run regsvr32 /u /s "$(windows_path "$dll")" >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The first run creates the prefix; windows then need no display. The driver is chosen when the
# prefix's desktop starts, so the prefix's server is restarted after the setting.
if ! wine_run reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >"$work/driver.log" 2>&1; then
  cat "$work/driver.log"
  fail "could not prepare the Wine prefix $prefix"
  finish
fi
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1

clsid='{A9599F9D-1610-4092-99F3-B602427CC1C3}'
libid='{D3BD7906-044A-402B-AD75-272F3C0A26C2}'
iid='{BFA77C09-FB0F-41FF-98DF-2490E7DA9652}'
dll_windows=$(windows_path "$dll")

# The data of a string value ("" for the default value), or nothing when it is missing.
reg_value() {
  local key=$1 name=$2 output
  if [[ -z $name ]]; then
    output=$(wine_run reg query "$key" /ve 2>/dev/null) || return 1
  else
    output=$(wine_run reg query "$key" /v "$name" 2>/dev/null) || return 1
  fi
  printf '%s\n' "$output" | tr -d '\r' | grep -E 'REG_SZ' | head -n 1 | sed -E 's/^.*REG_SZ {4}//'
}

# The names of the direct subkeys of a key, sorted, one per line.
# (reg query prints the key itself first, then its values, then its subkeys as full paths).
reg_subkeys() {
  wine_run reg query "$1" 2>/dev/null | tr -d '\r' | grep -E '^HKEY_' | tail -n +2 |
    sed -E 's/^.*\\//' | sort
}

expect_value() {
  local key=$1 name=$2 expected=$3 actual
  if actual=$(reg_value "$key" "$name") && [[ $actual == "$expected" ]]; then
    pass "registration: $key [${name:-default}] = $expected"
  else
    fail "registration: $key [${name:-default}] is '${actual:-<missing>}', expected '$expected'"
  fi
}

expect_subkeys() {
  local key=$1 expected=$2 actual
  actual=$(reg_subkeys "$key" | tr '\n' ' ')
  if [[ $actual == "$expected" ]]; then
    pass "registration: $key has exactly the subkeys $expected"
  else
    fail "registration: $key has the subkeys '$actual', expected '$expected'"
  fi
}

expect_missing() {
  if wine_run reg query "$1" >/dev/null 2>&1; then
    fail "unregistration: $1 is still there"
  else
    pass "unregistration: $1 is gone"
  fi
}

# ---- 1. registration ----------------------------------------------------------------------------

registered=1
if wine_run regsvr32 /s "$dll_windows" >"$work/regsvr32.log" 2>&1; then
  pass "regsvr32 /s quillax.dll"
else
  cat "$work/regsvr32.log"
  fail "regsvr32 /s quillax.dll failed"
fi
expect_value 'HKCR\quillax.qlx' '' 'qlx Class'
expect_value 'HKCR\quillax.qlx\CLSID' '' "$clsid"
expect_value 'HKCR\quillax.qlx\CurVer' '' 'quillax.qlx'
expect_subkeys 'HKCR\quillax.qlx' 'CLSID CurVer '
expect_value "HKCR\\CLSID\\$clsid" '' 'qlx Class'
expect_value "HKCR\\CLSID\\$clsid\\ProgID" '' 'quillax.qlx'
expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" '' "$dll_windows"
expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" 'ThreadingModel' 'Apartment'
expect_value "HKCR\\CLSID\\$clsid\\TypeLib" '' "$libid"
expect_value "HKCR\\CLSID\\$clsid\\Version" '' '1.0'
expect_subkeys "HKCR\\CLSID\\$clsid" 'InprocServer32 ProgID TypeLib Version '
# The type library, registered for locale 0x409.
expect_value "HKCR\\TypeLib\\$libid\\1.0" '' 'quillax 1.0 Type Library'
expect_value "HKCR\\TypeLib\\$libid\\1.0\\409\\win32" '' "$dll_windows"
expect_value "HKCR\\Interface\\$iid" '' 'Iqlx'
expect_value "HKCR\\Interface\\$iid\\TypeLib" '' "$libid"

if wine_run regsvr32 /u /s "$dll_windows" >"$work/regsvr32-u.log" 2>&1; then
  pass "regsvr32 /u /s quillax.dll"
else
  cat "$work/regsvr32-u.log"
  fail "regsvr32 /u /s quillax.dll failed"
fi
expect_missing 'HKCR\quillax.qlx'
expect_missing "HKCR\\CLSID\\$clsid"
expect_missing "HKCR\\TypeLib\\$libid"
expect_missing "HKCR\\Interface\\$iid"
if wine_run reg query 'HKCR\CLSID' /ve >/dev/null 2>&1; then
  pass "unregistration keeps HKCR\\CLSID"
else
  fail "unregistration removed HKCR\\CLSID"
fi
if wine_run regsvr32 /u /s "$dll_windows" >/dev/null 2>&1; then
  pass "regsvr32 /u /s of a library that is not registered succeeds"
else
  fail "regsvr32 /u /s of a library that is not registered fails"
fi

# ---- 2. the control from script --------------------------------------------------------------------

file_version=$(sed -n 's/^QUILLAX_FILEVERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
if ! python3 "$repo/tests/wine/make_installation.py" "$repo/sample/cfg" "$work/install" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  fail "control.js: could not make the test installation"
elif ! wine_run regsvr32 /s "$dll_windows" >/dev/null 2>&1; then
  fail "control.js: could not register quillax.dll"
else
  wine_run cscript //nologo "$(windows_path "$repo/tests/wine/control.js")" \
    "$(windows_path "$work/install/cfg")\\" "$file_version" >"$work/control.log" 2>&1
  tr -d '\r' <"$work/control.log" | grep -E '^(PASS|FAIL) ' | sed 's/^/control.js: /'
  summary=$(tr -d '\r' <"$work/control.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
  if [[ -z $summary ]]; then
    tr -d '\r' <"$work/control.log" | grep -vE '^(PASS|FAIL) ' | tail -n 20
    fail "control.js ended before its summary (a script error or a crash; output above)"
  else
    passed=$((passed + ${summary%% passed*}))
    script_failed=${summary#*, }
    failed=$((failed + ${script_failed%% failed}))
  fi
fi

# ---- 3. the binding's own tests ---------------------------------------------------------------------

wine_run "$(windows_path "$unit_tests")" >"$work/unit.log" 2>&1
unit_status=$?
tr -d '\r' <"$work/unit.log" | grep -E '^\[ +(OK|FAILED) +\] [A-Za-z].*\([0-9]+ ms\)$' |
  sed -E 's/^\[ +OK +\] /PASS quillax_com_tests: /; s/^\[ +FAILED +\] /FAIL quillax_com_tests: /' >"$work/unit.results"
cat "$work/unit.results"
unit_passed=$(grep -c '^PASS' "$work/unit.results")
unit_failed=$(grep -c '^FAIL' "$work/unit.results")
passed=$((passed + unit_passed))
failed=$((failed + unit_failed))
if [[ $unit_status -ne 0 && $unit_failed -eq 0 ]]; then
  tr -d '\r' <"$work/unit.log" | tail -n 20
  fail "quillax_com_tests.exe exited with status $unit_status (output above)"
elif [[ $unit_failed -ne 0 ]]; then
  tr -d '\r' <"$work/unit.log" | grep -E 'Failure|Expected|Which is|Value of|Actual' | head -n 40
fi

finish
