#!/usr/bin/env bash
# The Wine tests of the engine library quillax.dll of one Windows build (win32 or win64):
#
#   tests/wine/run.sh WINDOWS_BUILD_DIR
#
# 1. registration: `regsvr32 /s` writes every key and value of the class registration and the
#    type library (checked with `reg query`), `regsvr32 /u /s` removes them again;
# 2. control.js: cscript creates the control with new ActiveXObject("quillax.qlx") and calls
#    every member by name on a small installation (make_installation.py), with script objects
#    standing in for the browser's window;
# 3. quillax_com_tests.exe: thread timers, the popup window and its messages, the control's
#    interfaces, and the library loaded and unloaded many times in one process (a skipped case
#    counts as failed);
# 4. the 64-bit build only: the two builds registered side by side. 64-bit Windows keeps one
#    registry view per architecture but shares some keys between them (the type library's key;
#    on Windows also the ProgID's), so unregistering one build must leave the other one whole.
#    Where 32-bit programs run and the win32 build is there (beside this build, or
#    QUILLAX_WINE_OTHER_BUILD), both libraries are registered for real; otherwise the 32-bit
#    registration is imported into the 32-bit view with `reg import /reg:32` as the 32-bit library
#    writes it.
#
# Everything runs in the build's architecture: regsvr32, reg and cscript of the 64-bit build are
# Wine's 64-bit programs. Programs run through cmake/wine-run.sh in a Wine prefix of their own
# beside the build's (WINDOWS_BUILD_DIR/wineprefix-com, or QUILLAX_WINE_TEST_PREFIX), made on
# first use (a copy of QUILLAX_WINE_TEMPLATE when set), with the headless graphics driver
# (windows without a display) and without MSHTML (it cannot render here and would ask for its
# engine). Exits non-zero when anything fails; the last line says "N passed, N failed".
set -uo pipefail

if [[ $# -ne 1 || ! -d $1 ]]; then
  echo "usage: $0 WINDOWS_BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/wine/suite_common.sh
source "$repo/tests/wine/suite_common.sh"
dll=$build/bin/quillax.dll
unit_tests=$build/bin/quillax_com_tests.exe
prefix=${QUILLAX_WINE_TEST_PREFIX:-$build/wineprefix-com}
# Where RegisterTypeLib records the library's file: the type library's kind.
own_kind=$wine_arch

for file in "$dll" "$unit_tests"; do
  if [[ ! -f $file ]]; then
    fail "missing $file: build the $wine_arch preset first (cmake --build --preset $wine_arch)"
    finish
    exit 1
  fi
done

export WINEDLLOVERRIDES="mscoree,mshtml="
# Anything but a registry read may change the registration the helpers below keep.
wine_run() {
  [[ ${1:-} == reg && ${2:-} == query ]] || forget_registry
  wine_in "$prefix" "$@"
}

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
  exit 1
fi
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1

clsid='{A9599F9D-1610-4092-99F3-B602427CC1C3}'
libid='{D3BD7906-044A-402B-AD75-272F3C0A26C2}'
iid='{BFA77C09-FB0F-41FF-98DF-2490E7DA9652}'
dll_windows=$(windows_path "$dll")

# The registry view the helpers below look at: empty for the program's own view, /reg:32 or
# /reg:64 for one of the two views of 64-bit Windows.
view=
# With view32_by_host set, the 32-bit view is read by the 32-bit reg.exe in its own view, as a
# 32-bit host sees the registry: keys that 64-bit Windows keeps once for both views (a ProgID)
# are found there, where Wine's 64-bit reg.exe with /reg:32 looks only in the redirected tree.
view32_by_host=
reg_in_view() {
  if [[ $view == /reg:32 && -n $view32_by_host ]]; then
    [[ ${1:-} == query ]] || forget_registry
    "$repo/cmake/wine-run.sh" --arch win32 "$prefix" reg "$@"
  elif [[ -n $view ]]; then
    wine_run reg "$@" "$view"
  else
    wine_run reg "$@"
  fi
}
in_view() {  # in_view /reg:32 COMMAND...: runs a helper in that view
  local saved=$view
  view=$1
  shift
  "$@"
  view=$saved
}
view_label() { [[ -n $view ]] && echo " (${view#/})"; }

# Each reg.exe run costs a Wine start, so the helpers read the four trees the registration
# writes with one `reg query TOP /s` each (value names in English: locale C), kept per view in
# $work/registry until forget_registry (after anything that changes the registration).
registry_tops=('HKCR\quillax.qlx' "HKCR\\CLSID\\$clsid" "HKCR\\TypeLib\\$libid" "HKCR\\Interface\\$iid")
forget_registry() { rm -rf "$work/registry"; }
long_name() {  # HKCR\... -> HKEY_CLASSES_ROOT\..., upper case (names compare without case)
  local key=${1/#HKCR\\/HKEY_CLASSES_ROOT\\}
  key=${key/#HKCU\\/HKEY_CURRENT_USER\\}
  printf '%s' "${key^^}"
}
# The file holding the tree that KEY lies in (made on first use; empty when KEY's top is missing),
# or exit code 1 when KEY is in none of the four trees.
tree_of() {
  local key i top file
  key=$(long_name "$1")
  for i in "${!registry_tops[@]}"; do
    top=$(long_name "${registry_tops[$i]}")
    if [[ $key == "$top" || $key == "$top\\"* ]]; then
      file=$work/registry/${view#/}-$i
      if [[ ! -f $file ]]; then
        mkdir -p "$work/registry"
        QUILLAX_WINE_LOCALE=C reg_in_view query "${registry_tops[$i]}" /s 2>/dev/null | tr -d '\r' >"$file.part" ||
          : >"$file.part"
        mv "$file.part" "$file"
      fi
      echo "$file"
      return 0
    fi
  done
  return 1
}
# Whether the key exists: a header line of its tree (every subkey has one; the top key at least
# a subkey's).
reg_exists() {
  local file key
  if ! file=$(tree_of "$1"); then
    reg_in_view query "$1" >/dev/null 2>&1
    return
  fi
  key=$(long_name "$1")
  KEY=$key awk 'BEGIN { k = ENVIRON["KEY"] }
    toupper($0) == k || index(toupper($0), k "\\") == 1 { found = 1 } END { exit !found }' "$file"
}

# The data of a string value ("" for the default value), or nothing when it is missing.
reg_value() {
  local key=$1 name=${2:-(Default)} file
  if ! file=$(tree_of "$key"); then
    if [[ -z $2 ]]; then set -- query "$key" /ve; else set -- query "$key" /v "$2"; fi
    reg_in_view "$@" 2>/dev/null | tr -d '\r' | grep -E 'REG_SZ' | head -n 1 | sed -E 's/^.*REG_SZ {4}//'
    return "${PIPESTATUS[0]}"
  fi
  # (awk -v would take the backslashes of the key for escapes)
  KEY=$(long_name "$key") NAME=$name awk '
    BEGIN { k = ENVIRON["KEY"]; n = ENVIRON["NAME"] }
    /^HKEY_/ { inside = (toupper($0) == k); next }
    inside && /REG_SZ/ {
      line = $0; sub(/^    /, "", line)
      at = index(line, "    REG_SZ    ")
      if (toupper(substr(line, 1, at - 1)) == toupper(n)) { print substr(line, at + 14); found = 1; exit }
    }
    END { exit !found }' "$file"
}

# The names of the direct subkeys of a key, sorted, one per line.
reg_subkeys() {
  local file key
  file=$(tree_of "$1") || return 1
  key=$(long_name "$1")
  KEY=$key awk '
    BEGIN { k = ENVIRON["KEY"] }
    /^HKEY_/ && index(toupper($0), k "\\") == 1 {
      rest = substr($0, length(k) + 2)
      if (index(rest, "\\") == 0) print rest
    }' "$file" | sort
}

expect_value() {
  local key=$1 name=$2 expected=$3 actual
  if actual=$(reg_value "$key" "$name") && [[ $actual == "$expected" ]]; then
    pass "registration: $key [${name:-default}] = $expected$(view_label)"
  else
    fail "registration: $key [${name:-default}] is '${actual:-<missing>}', expected '$expected'$(view_label)"
  fi
}

expect_subkeys() {
  local key=$1 expected=$2 actual
  actual=$(reg_subkeys "$key" | tr '\n' ' ')
  if [[ $actual == "$expected" ]]; then
    pass "registration: $key has exactly the subkeys $expected$(view_label)"
  else
    fail "registration: $key has the subkeys '$actual', expected '$expected'$(view_label)"
  fi
}

expect_missing() {
  if reg_exists "$1"; then
    fail "unregistration: $1 is still there$(view_label)"
  else
    pass "unregistration: $1 is gone$(view_label)"
  fi
}

# Every key and value one build's registration writes into its view, for the library file
# $1 (Windows path) of the kind $2 (win32 or win64).
expect_registration() {
  local file=$1 kind=$2
  expect_value 'HKCR\quillax.qlx' '' 'qlx Class'
  expect_value 'HKCR\quillax.qlx\CLSID' '' "$clsid"
  expect_value 'HKCR\quillax.qlx\CurVer' '' 'quillax.qlx'
  expect_subkeys 'HKCR\quillax.qlx' 'CLSID CurVer '
  expect_value "HKCR\\CLSID\\$clsid" '' 'qlx Class'
  expect_value "HKCR\\CLSID\\$clsid\\ProgID" '' 'quillax.qlx'
  expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" '' "$file"
  expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" 'ThreadingModel' 'Apartment'
  expect_value "HKCR\\CLSID\\$clsid\\TypeLib" '' "$libid"
  expect_value "HKCR\\CLSID\\$clsid\\Version" '' '1.0'
  expect_subkeys "HKCR\\CLSID\\$clsid" 'InprocServer32 ProgID TypeLib Version '
  # The type library, registered for locale 0x409 under the kind of the library.
  expect_value "HKCR\\TypeLib\\$libid\\1.0" '' 'quillax 1.0 Type Library'
  expect_value "HKCR\\TypeLib\\$libid\\1.0\\409\\$kind" '' "$file"
  expect_value "HKCR\\Interface\\$iid" '' 'Iqlx'
  expect_value "HKCR\\Interface\\$iid\\TypeLib" '' "$libid"
}

# ---- 1. registration ----------------------------------------------------------------------------

registered=1
if wine_run regsvr32 /s "$dll_windows" >"$work/regsvr32.log" 2>&1; then
  pass "regsvr32 /s quillax.dll"
else
  cat "$work/regsvr32.log"
  fail "regsvr32 /s quillax.dll failed"
fi
expect_registration "$dll_windows" "$own_kind"
expect_subkeys "HKCR\\TypeLib\\$libid\\1.0\\409" "$own_kind "

if wine_run regsvr32 /u /s "$dll_windows" >"$work/regsvr32-u.log" 2>&1; then
  pass "regsvr32 /u /s quillax.dll"
else
  cat "$work/regsvr32-u.log"
  fail "regsvr32 /u /s quillax.dll failed"
fi
registered=0
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
python3 "$repo/tests/wine/make_installation.py" "$repo/sample/cfg" "$work/install" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "could not make the test installation"; }

# Runs control.js with the cscript of the given Wine architecture ($1) and counts its checks,
# each shown as "ok: control.js: ..." or "FAILED: control.js: ...".
run_control_script() {
  local arch=$1 label=$2 log=$work/control-$1.log summary script_failed
  "$repo/cmake/wine-run.sh" --arch "$arch" "$prefix" cscript //nologo \
    "$(windows_path "$repo/tests/wine/control.js")" \
    "$(windows_path "$work/install/cfg")\\" "$file_version" >"$log" 2>&1
  tr -d '\r' <"$log" | grep -E '^(PASS|FAIL) ' |
    sed -E "s/^PASS /ok: $label: /; s/^FAIL /FAILED: $label: /"
  summary=$(tr -d '\r' <"$log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
  if [[ -z $summary ]]; then
    tr -d '\r' <"$log" | grep -vE '^(PASS|FAIL) ' | tail -n 20
    fail "$label ended before its summary (a script error or a crash; output above)"
  else
    passed=$((passed + ${summary%% passed*}))
    script_failed=${summary#*, }
    failed=$((failed + ${script_failed%% failed}))
  fi
}

registered=1
if ! wine_run regsvr32 /s "$dll_windows" >/dev/null 2>&1; then
  fail "control.js: could not register quillax.dll"
else
  run_control_script "$wine_arch" control.js
fi
wine_run regsvr32 /u /s "$dll_windows" >/dev/null 2>&1
registered=0

# ---- 3. the binding's own tests ---------------------------------------------------------------------

wine_run "$(windows_path "$unit_tests")" >"$work/unit.log" 2>&1
unit_status=$?
tr -d '\r' <"$work/unit.log" | grep -E '^\[ +(OK|FAILED|SKIPPED) +\] [A-Za-z].*\([0-9]+ ms\)$' |
  sed -E 's/^\[ +OK +\] /ok: quillax_com_tests: /; s/^\[ +(FAILED|SKIPPED) +\] /FAILED: quillax_com_tests: \1 /' >"$work/unit.results"
cat "$work/unit.results"
unit_passed=$(grep -c '^ok:' "$work/unit.results")
unit_failed=$(grep -c '^FAILED:' "$work/unit.results")
passed=$((passed + unit_passed))
failed=$((failed + unit_failed))
if [[ $unit_status -ne 0 && $unit_failed -eq 0 ]]; then
  tr -d '\r' <"$work/unit.log" | tail -n 20
  fail "quillax_com_tests.exe exited with status $unit_status (output above)"
elif [[ $unit_failed -ne 0 ]]; then
  tr -d '\r' <"$work/unit.log" | grep -E 'Failure|Expected|Which is|Value of|Actual' | head -n 40
fi
if [[ $unit_passed -eq 0 ]]; then
  fail "quillax_com_tests.exe ran no test"
fi

# ---- 4. both builds side by side (64-bit build) -----------------------------------------------------

if [[ $wine_arch == win64 ]]; then
  source "$repo/tests/wine/side_by_side.sh"
fi

finish
