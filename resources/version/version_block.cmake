# quillax_embed_version_block(<target> FILEVERSION "2006,07,28,2025" LEGAL "<legal notice>")
#
# Gives a library or program its version strings, readable from the built file with
# quillax::platform::ReadVersionStrings (platform/version_info.h):
#  - Windows: a VERSIONINFO resource with block "040904b0" holding "FileVersion" and
#    "LegalCopyright" (the numeric file version comes from the four numbers of FILEVERSION);
#  - Linux: the version block of resources/version/version_block.h in section
#    ".quillax_version".
# Texts are written in UTF-8 here; the Linux block holds them as GBK bytes (the sources are
# compiled with -fexec-charset=GBK), the Windows resource as UTF-16.

set(QUILLAX_VERSION_BLOCK_DIR ${CMAKE_CURRENT_LIST_DIR})
if(WIN32)
  get_property(quillax_enabled_languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "RC" IN_LIST quillax_enabled_languages)
    enable_language(RC)
  endif()
endif()

function(quillax_embed_version_block target)
  cmake_parse_arguments(QVB "" "FILEVERSION;LEGAL" "" ${ARGN})
  if(NOT QVB_FILEVERSION MATCHES "^[0-9]+,[0-9]+,[0-9]+,[0-9]+$")
    message(FATAL_ERROR "quillax_embed_version_block(${target}): FILEVERSION must be four numbers separated by commas, got '${QVB_FILEVERSION}'")
  endif()
  set(QLX_TARGET ${target})
  set(outputBase ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block)
  if(WIN32)
    # Resource numbers: no leading zeros (a leading 0 would make windres read octal).
    string(REGEX REPLACE "(^|,)0+([0-9])" "\\1\\2" QLX_FILEVERSION_NUMBERS "${QVB_FILEVERSION}")
    # Resource strings: "\" and a double quote are escaped as \\ and "".
    string(REPLACE "\\" "\\\\" QLX_FILEVERSION_RC "${QVB_FILEVERSION}")
    string(REPLACE "\\" "\\\\" QLX_LEGAL_RC "${QVB_LEGAL}")
    string(REPLACE "\"" "\"\"" QLX_LEGAL_RC "${QLX_LEGAL_RC}")
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      set(QLX_FILETYPE 0x1L)
    else()
      set(QLX_FILETYPE 0x2L)
    endif()
    configure_file(${QUILLAX_VERSION_BLOCK_DIR}/version_block.rc.in ${outputBase}.rc @ONLY)
    target_sources(${target} PRIVATE ${outputBase}.rc)
  else()
    # C string literals: "\" and a double quote are escaped.
    set(QLX_VERSION_HEADER ${QUILLAX_VERSION_BLOCK_DIR}/version_block.h)
    string(REPLACE "\\" "\\\\" QLX_FILEVERSION "${QVB_FILEVERSION}")
    string(REPLACE "\\" "\\\\" QLX_LEGAL "${QVB_LEGAL}")
    string(REPLACE "\"" "\\\"" QLX_LEGAL "${QLX_LEGAL}")
    configure_file(${QUILLAX_VERSION_BLOCK_DIR}/version_block.cpp.in ${outputBase}.cpp @ONLY)
    target_sources(${target} PRIVATE ${outputBase}.cpp)
  endif()
endfunction()
