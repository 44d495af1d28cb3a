# Warnings are errors when MV_WERROR is on (always in CI).
option(MV_WERROR "Treat compiler warnings as errors" ON)

function(mv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wformat=2
                         -Wno-missing-field-initializers)
  if(MV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Code that never ships (tests and their helpers) keeps the compiler's stack
# probes on i686, and with them large frames; see the top-level flags.
function(mv_probed_stack target)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(${target} PRIVATE -mstack-arg-probe -maccumulate-outgoing-args
                           -Wno-frame-larger-than)
  endif()
endfunction()

# The shipped Windows programs: no exceptions, no RTTI, nothing but the
# system DLLs and the C runtime at run time.
# They are built for size and stripped: every byte travels in the setup.
function(mv_windows_program target)
  mv_warnings(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                      -s -Wl,--gc-sections)
  mv_link_map(${target})
endfunction()

# A linker map beside the program (NAME.exe.map), read by tools/size-report.sh.
# No link time stamp in the header either: the same sources give the same
# bytes, so the payload streams and the size budgets do not move between
# builds.
function(mv_link_map target)
  target_link_options(${target} PRIVATE "-Wl,-Map=$<TARGET_FILE:${target}>.map"
                      -Wl,--no-insert-timestamp)
endfunction()

# A shipped program that starts at its own entry point (which ends with
# ExitProcess) instead of the C runtime's start-up code: no runtime
# initialisation, no static constructors, and no msvcrt.dll: the few C
# string functions the code or the compiler calls come from
# common/c_string_functions.cpp.
function(mv_runtime_free_program target entry)
  mv_windows_program(${target})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry _${entry}@0)
  endif()
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:c_string_functions>)
  target_link_options(${target} PRIVATE -nostartfiles -Wl,--entry,${entry})
  mv_compact_headers(${target})
endfunction()

# The i686 setup program is compiled as one unit at its link: helpers are
# inlined across files and calls between files pass their arguments in
# registers, as calls within one file already do (about 950 bytes less
# code). The link compiles with the options of the i686 build, the frame
# limit included, and a section per function, so that the linker map still
# gives each function's size (tools/size-report.sh); tools/unpadded-code,
# as the wrapper of the link's programs, takes the assembler's 4-byte
# rounding of each function off that compile too.
option(MV_WHOLE_PROGRAM "Compile the i686 setup program as one unit at its link" ON)
function(mv_whole_program target)
  if(MV_WHOLE_PROGRAM AND WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(TOUPPER "${CMAKE_BUILD_TYPE}" type)
    separate_arguments(level UNIX_COMMAND "${CMAKE_CXX_FLAGS_${type}}")
    target_link_options(${target} PRIVATE -flto -flto-partition=one ${level} -fomit-frame-pointer
                        -ffunction-sections ${MV_I686_CODE_OPTIONS}
                        -wrapper ${CMAKE_SOURCE_DIR}/tools/unpadded-code)
  endif()
endfunction()
