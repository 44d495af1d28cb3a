# The shipped i686 programs get their headers in one 512-byte block, their
# import tables in read-only .rdata and read-only resources: linked with a
# script that moves the tables there, then rewritten by
# tools/pe_compact.cpp, which says why.
# (A PE32+ header with five sections does not fit 512 bytes: x86_64
# programs keep the linker's layout.)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(MV_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(tools ${CMAKE_BINARY_DIR}/tools)
  file(MAKE_DIRECTORY ${tools})
  set(MV_PE_COMPACT ${tools}/pe-compact)
  set(MV_COMPACT_SCRIPT ${tools}/compact.ld)
  # The linker the compiler drives, asked of the compiler: CMAKE_LINKER can
  # be a stale cache entry (the host's ld) when the tree was first
  # configured before the cross compilers were installed.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld
                  OUTPUT_VARIABLE linker OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${linker} --verbose OUTPUT_FILE ${tools}/ld-default.txt
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${linker} --verbose failed: no default script to start from")
  endif()
  add_custom_command(OUTPUT ${MV_PE_COMPACT}
    COMMAND ${MV_HOST_CXX} -std=c++17 -O1 -Wall -Wextra -Werror -I${CMAKE_SOURCE_DIR} -o ${MV_PE_COMPACT}
            ${CMAKE_SOURCE_DIR}/tools/pe_compact.cpp ${CMAKE_SOURCE_DIR}/common/host_files.cpp
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/pe_compact.cpp ${CMAKE_SOURCE_DIR}/common/host_files.cpp
            ${CMAKE_SOURCE_DIR}/common/host_files.h
    COMMENT "Building the host PE compacting tool")
  add_custom_command(OUTPUT ${MV_COMPACT_SCRIPT}
    COMMAND ${MV_PE_COMPACT} script ${tools}/ld-default.txt ${MV_COMPACT_SCRIPT}
    DEPENDS ${MV_PE_COMPACT} ${tools}/ld-default.txt)
  add_custom_target(pe_compact DEPENDS ${MV_PE_COMPACT} ${MV_COMPACT_SCRIPT})
endif()

# The tool is tested in the native tree, on a small i686 program the test
# links with the cross compiler.
if(NOT WIN32 AND BUILD_TESTING)
  find_program(MV_I686_GCC i686-w64-mingw32-gcc)
  if(MV_I686_GCC)
    add_executable(pe-compact tools/pe_compact.cpp common/host_files.cpp)
    target_include_directories(pe-compact PRIVATE ${CMAKE_SOURCE_DIR})
    mv_warnings(pe-compact)
    add_test(NAME pe_compact COMMAND bash ${CMAKE_SOURCE_DIR}/tools/tests/pe_compact_test.sh
                                     $<TARGET_FILE:pe-compact>)
    set_tests_properties(pe_compact PROPERTIES LABELS native)
  endif()
endif()

# Before any other step after the link (signing among them).
function(mv_compact_headers target)
  if(TARGET pe_compact)
    add_dependencies(${target} pe_compact)
    target_link_options(${target} PRIVATE -Wl,-T,${MV_COMPACT_SCRIPT})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${MV_COMPACT_SCRIPT})
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${MV_PE_COMPACT} $<TARGET_FILE:${target}> VERBATIM)
  endif()
endfunction()
