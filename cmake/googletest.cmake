# GoogleTest from Debian's source package, built for whichever target this is.
set(MV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${MV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
mv_probed_stack(gtest)
mv_probed_stack(gtest_main)

# The i686 test programs the PE32 stage runs: those whose code can behave
# differently in a 32-bit build (record sizes and layouts written to files
# and passed to the system, callbacks (the engine's host among them), the
# payload table read from the resources, 32-bit arithmetic in the codec, the
# 32-bit registry and file-system views), without their tests that start
# further 32-bit processes (each start costs about a minute under
# emulation; the end-to-end stage starts the real PE32 programs). The
# others run with `ctest -L pe32-all` in build/win32.
set(MV_PE32_STAGE_PROGRAMS settings_test payload_codec_test shell_test product_settings_test
                           install_engine_test extraction_test)
set(MV_PE32_FILTER_settings_test "-SettingsTool.*")
set(MV_PE32_REGISTRY_FREE payload_codec_test shell_test extraction_test settings_layout_test)

# A test program of this project: GoogleTest, warnings, and on Windows a
# static link so that Wine needs no compiler runtime DLLs.
function(mv_test target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest_main)
  mv_warnings(${target})
  mv_probed_stack(${target})
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -static)
    # PE32 tests run under emulated 32-bit Wine, where a process start costs
    # about a minute of CPU: one process per test program, not one per test.
    # Every program is labelled pe32-all; those of the PE32 stage also pe32.
    set(filter "")
    if(DEFINED MV_PE32_FILTER_${target})
      set(filter "--gtest_filter=${MV_PE32_FILTER_${target}}")
    endif()
    set(labels pe32-all)
    if(target IN_LIST MV_PE32_STAGE_PROGRAMS)
      list(APPEND labels pe32)
    endif()
    add_test(NAME pe32.${target} COMMAND ${target} --gtest_brief=1 ${filter})
    set_tests_properties(pe32.${target} PROPERTIES LABELS "${labels}" TIMEOUT 1200)
    # The start is all CPU, so two run at once on two cores; those that use
    # the registry never at the same time.
    if(NOT target IN_LIST MV_PE32_REGISTRY_FREE)
      set_tests_properties(pe32.${target} PROPERTIES RESOURCE_LOCK wine-registry)
    endif()
  elseif(WIN32)
    target_link_options(${target} PRIVATE -static)
    # Windows tests share one Wine prefix and its registry: run them one by one.
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES RUN_SERIAL TRUE LABELS windows)
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS native)
  endif()
endfunction()
