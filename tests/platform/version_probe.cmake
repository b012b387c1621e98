# Included by tests/CMakeLists.txt after the platform suite is defined: builds a small shared
# library with a version block / version resource and tells platform_tests where it and the
# test program itself are (version_info_test.cpp reads both).
include(${PROJECT_SOURCE_DIR}/resources/version/version_block.cmake)

add_library(quillax_version_probe SHARED ${CMAKE_CURRENT_LIST_DIR}/probe/version_probe.cpp)
set_target_properties(quillax_version_probe PROPERTIES
  PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
quillax_embed_version_block(quillax_version_probe
  FILEVERSION "2006,07,28,2025"
  LEGAL "Copyright () Tessaly Studio, \"quoted\" \\ end")

if(TARGET platform_tests)
  add_dependencies(platform_tests quillax_version_probe)
  if(WIN32)
    # The Windows build runs under Wine, whose drive Z: is the Linux root.
    set(probe "Z:${CMAKE_BINARY_DIR}/bin/quillax_version_probe.dll")
    set(self "Z:${CMAKE_BINARY_DIR}/bin/platform_tests.exe")
  else()
    set(probe "${CMAKE_BINARY_DIR}/lib/quillax_version_probe.so")
    set(self "${CMAKE_BINARY_DIR}/bin/platform_tests")
  endif()
  target_compile_definitions(platform_tests PRIVATE
    QUILLAX_TEST_VERSION_PROBE="${probe}"
    QUILLAX_TEST_EXECUTABLE="${self}")
endif()
