# GoogleTest from Debian's source package, built for whichever target this is.
set(MV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${MV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# A test program of this project: GoogleTest, warnings, and on Windows a
# static link so that Wine needs no compiler runtime DLLs.
function(mv_test target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest_main)
  mv_warnings(${target})
  if(WIN32)
    target_link_options(${target} PRIVATE -static)
    # Windows tests share one Wine prefix and its registry: run them one by one.
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES RUN_SERIAL TRUE LABELS windows)
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS native)
  endif()
endfunction()
