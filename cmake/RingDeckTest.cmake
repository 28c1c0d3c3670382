# ringdeck_unit_test(<name> SOURCES ... LIBS ... [WINE])
#
# Natively every test case becomes its own CTest test. In the Windows build only tests marked
# WINE are built, and each runs as one CTest test under Wine (one Wine process per program
# instead of one per case keeps the tier fast).
if(RINGDECK_FUZZ)
  # The fuzzing build makes no tests.
elseif(NOT WIN32)
  find_package(GTest REQUIRED)
  include(GoogleTest)
else()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

function(ringdeck_unit_test name)
  cmake_parse_arguments(T "WINE" "" "SOURCES;LIBS" ${ARGN})
  if(RINGDECK_FUZZ OR (WIN32 AND NOT T_WINE))
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main ringdeck_options)
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 120)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES LABELS unit)
  endif()
endfunction()
