# Part 4 of tests/wine/run.sh (sourced by it, for the 64-bit build): the 32-bit and the 64-bit
# engine library registered side by side.
#
# 64-bit Windows keeps a registry view per architecture; the class key (CLSID) and the interface
# key are kept once per view, the type library's key once for both (each build records its file
# under "409\win32" or "409\win64"), and on Windows the ProgID's key too. Unregistering one build
# must leave the other one registered in its view, so that its hosts still create the control.
#
# Where 32-bit programs run and the win32 build is there (beside this build or in
# QUILLAX_WINE_OTHER_BUILD), both libraries are registered and unregistered for real, in either
# order, and each one's cscript creates the control. Otherwise the 32-bit registration is imported
# into the 32-bit view with `reg import /reg:32`, key for key as the 32-bit library writes it,
# and the 64-bit library is registered and unregistered beside it.

other_build=${QUILLAX_WINE_OTHER_BUILD:-$(dirname "$build")/win32}
other_dll=$other_build/bin/quillax.dll

# Creates the control with the cscript of an architecture ($1); $2 names the check.
expect_control_created() {
  local arch=$1 what=$2 output
  output=$("$repo/cmake/wine-run.sh" --arch "$arch" "$prefix" cscript //nologo \
    "$(windows_path "$repo/tests/wine/create_control.js")" 2>&1 | tr -d '\r')
  if [[ $output == "created Build "* ]]; then
    pass "side by side: $what"
  else
    fail "side by side: $what (cscript said: $output)"
  fi
}

# Nothing of either registration is left in either view.
expect_nothing_registered() {
  local v
  for v in /reg:32 /reg:64; do
    in_view "$v" expect_missing 'HKCR\quillax.qlx'
    in_view "$v" expect_missing "HKCR\\CLSID\\$clsid"
    in_view "$v" expect_missing "HKCR\\Interface\\$iid"
  done
  expect_missing "HKCR\\TypeLib\\$libid"
}

regsvr() {  # regsvr ARCH [/u] FILE: regsvr32 of that architecture
  local arch=$1
  shift
  forget_registry
  "$repo/cmake/wine-run.sh" --arch "$arch" "$prefix" regsvr32 /s "$@" >/dev/null 2>&1
}

if [[ -f $other_dll ]] && "$repo/cmake/wine-run.sh" --arch win32 --can-run; then
  echo "side by side: with the 32-bit library of $other_build"
  # The 32-bit library's keys as its hosts see them (see reg_in_view in run.sh).
  view32_by_host=1
  other_windows=$(windows_path "$other_dll")
  registered=1
  check "side by side: the 32-bit library registers" regsvr win32 "$other_windows"
  check "side by side: the 64-bit library registers" regsvr win64 "$dll_windows"
  in_view /reg:32 expect_registration "$other_windows" win32
  in_view /reg:64 expect_registration "$dll_windows" win64
  expect_subkeys "HKCR\\TypeLib\\$libid\\1.0\\409" 'win32 win64 '

  check "side by side: the 32-bit library unregisters" regsvr win32 /u "$other_windows"
  in_view /reg:64 expect_registration "$dll_windows" win64
  expect_subkeys "HKCR\\TypeLib\\$libid\\1.0\\409" 'win64 '
  in_view /reg:32 expect_missing "HKCR\\CLSID\\$clsid"
  expect_control_created win64 "the 64-bit control is created after the 32-bit library went"

  check "side by side: the 32-bit library registers again" regsvr win32 "$other_windows"
  check "side by side: the 64-bit library unregisters" regsvr win64 /u "$dll_windows"
  in_view /reg:32 expect_registration "$other_windows" win32
  expect_subkeys "HKCR\\TypeLib\\$libid\\1.0\\409" 'win32 '
  in_view /reg:64 expect_missing "HKCR\\CLSID\\$clsid"
  expect_control_created win32 "the 32-bit control is created after the 64-bit library went"

  check "side by side: the 32-bit library unregisters last" regsvr win32 /u "$other_windows"
  registered=0
  expect_nothing_registered
else
  echo "side by side: 32-bit programs do not run here or there is no win32 build;" \
    "the 32-bit registration is imported with reg import /reg:32"
  other_windows='C:\Program Files (x86)\quillax\quillax.dll'
  # What the 32-bit library's DllRegisterServer writes (the registry script, then
  # RegisterTypeLib), imported into the 32-bit view; the type library's key is the shared one.
  other_reg=${other_windows//\\/\\\\}
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CLASSES_ROOT\\quillax.qlx]\r\n@="qlx Class"\r\n\r\n'
    printf '[HKEY_CLASSES_ROOT\\quillax.qlx\\CLSID]\r\n@="%s"\r\n\r\n' "$clsid"
    printf '[HKEY_CLASSES_ROOT\\quillax.qlx\\CurVer]\r\n@="quillax.qlx"\r\n\r\n'
    printf '[HKEY_CLASSES_ROOT\\CLSID\\%s]\r\n@="qlx Class"\r\n\r\n' "$clsid"
    printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\ProgID]\r\n@="quillax.qlx"\r\n\r\n' "$clsid"
    printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\r\n@="%s"\r\n"ThreadingModel"="Apartment"\r\n\r\n' "$clsid" "$other_reg"
    printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\TypeLib]\r\n@="%s"\r\n\r\n' "$clsid" "$libid"
    printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\Version]\r\n@="1.0"\r\n\r\n' "$clsid"
    printf '[HKEY_CLASSES_ROOT\\TypeLib\\%s\\1.0]\r\n@="quillax 1.0 Type Library"\r\n\r\n' "$libid"
    printf '[HKEY_CLASSES_ROOT\\TypeLib\\%s\\1.0\\FLAGS]\r\n@="0"\r\n\r\n' "$libid"
    printf '[HKEY_CLASSES_ROOT\\TypeLib\\%s\\1.0\\HELPDIR]\r\n@="C:\\\\Program Files (x86)\\\\quillax"\r\n\r\n' "$libid"
    printf '[HKEY_CLASSES_ROOT\\TypeLib\\%s\\1.0\\409\\win32]\r\n@="%s"\r\n\r\n' "$libid" "$other_reg"
    printf '[HKEY_CLASSES_ROOT\\Interface\\%s]\r\n@="Iqlx"\r\n\r\n' "$iid"
    printf '[HKEY_CLASSES_ROOT\\Interface\\%s\\ProxyStubClsid32]\r\n@="{00020424-0000-0000-C000-000000000046}"\r\n\r\n' "$iid"
    printf '[HKEY_CLASSES_ROOT\\Interface\\%s\\TypeLib]\r\n@="%s"\r\n"Version"="1.0"\r\n\r\n' "$iid" "$libid"
  } >"$work/registration32.reg"
  written=true
  wine_run reg import "$(windows_path "$work/registration32.reg")" /reg:32 >/dev/null 2>&1 || written=false
  check "side by side: the 32-bit registration is written into the 32-bit view" $written

  registered=1
  check "side by side: the 64-bit library registers beside the 32-bit one" regsvr win64 "$dll_windows"
  in_view /reg:32 expect_registration "$other_windows" win32
  in_view /reg:64 expect_registration "$dll_windows" win64
  expect_subkeys "HKCR\\TypeLib\\$libid\\1.0\\409" 'win32 win64 '
  expect_control_created win64 "the 64-bit control is created beside the 32-bit registration"

  check "side by side: the 64-bit library unregisters" regsvr win64 /u "$dll_windows"
  registered=0
  in_view /reg:32 expect_registration "$other_windows" win32
  expect_subkeys "HKCR\\TypeLib\\$libid\\1.0\\409" 'win32 '
  in_view /reg:64 expect_missing "HKCR\\CLSID\\$clsid"
  in_view /reg:64 expect_missing "HKCR\\Interface\\$iid"

  check "side by side: the 64-bit library registers again" regsvr win64 "$dll_windows"
  registered=1
  expect_control_created win64 "the 64-bit control is created again"
  in_view /reg:64 expect_registration "$dll_windows" win64
  check "side by side: the 64-bit library unregisters again" regsvr win64 /u "$dll_windows"
  registered=0
  in_view /reg:32 expect_registration "$other_windows" win32

  # The 32-bit registration goes as the 32-bit library's last unregistration removes it.
  wine_run reg delete 'HKCR\quillax.qlx' /f /reg:32 >/dev/null 2>&1
  wine_run reg delete "HKCR\\CLSID\\$clsid" /f /reg:32 >/dev/null 2>&1
  wine_run reg delete "HKCR\\Interface\\$iid" /f /reg:32 >/dev/null 2>&1
  wine_run reg delete "HKCR\\TypeLib\\$libid" /f /reg:32 >/dev/null 2>&1
  expect_nothing_registered
fi
