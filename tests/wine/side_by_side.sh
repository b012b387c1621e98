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
# order, and each one's cscript creates the control. Otherwise the 32-bit registration is written
# into the 32-bit view with `reg add /reg:32`, key for key as the 32-bit library writes it, and
# the 64-bit library is registered and unregistered beside it.

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
  "$repo/cmake/wine-run.sh" --arch "$arch" "$prefix" regsvr32 /s "$@" >/dev/null 2>&1
}

if [[ -f $other_dll ]] && "$repo/cmake/wine-run.sh" --arch win32 --can-run; then
  echo "side by side: with the 32-bit library of $other_build"
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
    "the 32-bit registration is written with reg add /reg:32"
  other_windows='C:\Program Files (x86)\quillax\quillax.dll'
  # What the 32-bit library's DllRegisterServer writes (the registry script, then
  # RegisterTypeLib), into the 32-bit view; the type library's key is the shared one.
  add32() { wine_run reg add "$@" /f /reg:32 >/dev/null 2>&1; }
  written=true
  add32 'HKCR\quillax.qlx' /ve /d 'qlx Class' || written=false
  add32 'HKCR\quillax.qlx\CLSID' /ve /d "$clsid" || written=false
  add32 'HKCR\quillax.qlx\CurVer' /ve /d 'quillax.qlx' || written=false
  add32 "HKCR\\CLSID\\$clsid" /ve /d 'qlx Class' || written=false
  add32 "HKCR\\CLSID\\$clsid\\ProgID" /ve /d 'quillax.qlx' || written=false
  add32 "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /d "$other_windows" || written=false
  add32 "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel /d Apartment || written=false
  add32 "HKCR\\CLSID\\$clsid\\TypeLib" /ve /d "$libid" || written=false
  add32 "HKCR\\CLSID\\$clsid\\Version" /ve /d '1.0' || written=false
  add32 "HKCR\\TypeLib\\$libid\\1.0" /ve /d 'quillax 1.0 Type Library' || written=false
  add32 "HKCR\\TypeLib\\$libid\\1.0\\FLAGS" /ve /d 0 || written=false
  add32 "HKCR\\TypeLib\\$libid\\1.0\\HELPDIR" /ve /d 'C:\Program Files (x86)\quillax' || written=false
  add32 "HKCR\\TypeLib\\$libid\\1.0\\409\\win32" /ve /d "$other_windows" || written=false
  add32 "HKCR\\Interface\\$iid" /ve /d 'Iqlx' || written=false
  add32 "HKCR\\Interface\\$iid\\ProxyStubClsid32" /ve /d '{00020424-0000-0000-C000-000000000046}' || written=false
  add32 "HKCR\\Interface\\$iid\\TypeLib" /ve /d "$libid" || written=false
  add32 "HKCR\\Interface\\$iid\\TypeLib" /v Version /d '1.0' || written=false
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
