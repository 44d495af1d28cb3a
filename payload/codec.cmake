# The payload codec: the decoder (portable, in every tree, linked into the
# setup program) and, on the host, the encoder and payload-tool.
add_library(payload_codec STATIC ${CMAKE_CURRENT_LIST_DIR}/payload_decoder.cpp
            ${CMAKE_CURRENT_LIST_DIR}/payload_checksum.cpp ${CMAKE_CURRENT_LIST_DIR}/payload_table.cpp)
target_include_directories(payload_codec PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(payload_codec PUBLIC common)
mv_warnings(payload_codec)
if(WIN32)
  target_compile_options(payload_codec PRIVATE -fno-exceptions -fno-rtti)
endif()

if(NOT WIN32)
  add_library(payload_encoder STATIC ${CMAKE_CURRENT_LIST_DIR}/payload_encoder.cpp)
  target_link_libraries(payload_encoder PUBLIC payload_codec)
  mv_warnings(payload_encoder)

  add_executable(payload-tool ${CMAKE_CURRENT_LIST_DIR}/payload_tool.cpp ${CMAKE_SOURCE_DIR}/common/host_files.cpp)
  target_link_libraries(payload-tool PRIVATE payload_encoder)
  set_target_properties(payload-tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  mv_warnings(payload-tool)
endif()

if(BUILD_TESTING)
  set(codec_test_sources
      ${CMAKE_CURRENT_LIST_DIR}/tests/payload_decoder_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/payload_model_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/payload_reference_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/payload_roundtrip_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/payload_test_support.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/payload_table_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/payload_decoder.cpp
      ${CMAKE_CURRENT_LIST_DIR}/payload_checksum.cpp
      ${CMAKE_CURRENT_LIST_DIR}/payload_table.cpp
      ${CMAKE_CURRENT_LIST_DIR}/payload_encoder.cpp)
  # The codec sources are compiled into the test itself so that, natively,
  # every line of them runs under AddressSanitizer and UBSan.
  mv_test(payload_codec_test SOURCES ${codec_test_sources} LIBS common)
  target_include_directories(payload_codec_test PRIVATE ${CMAKE_SOURCE_DIR})
  if(NOT WIN32)
    set(codec_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(payload_codec_test PRIVATE ${codec_sanitizers})
    target_link_options(payload_codec_test PRIVATE ${codec_sanitizers})
  endif()
endif()

if(BUILD_TESTING AND NOT WIN32)
  add_test(NAME payload_tool COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tests/payload_tool_test.sh
                                     $<TARGET_FILE:payload-tool>)
  set_tests_properties(payload_tool PROPERTIES LABELS native)
endif()

# libFuzzer targets (clang only): the decoder on arbitrary bytes, the
# encode-then-decode round trip, and the payload table reader. The test command runs each one briefly.
if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(codec_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
  # Seeds: the licence text, and its stream for the decoder to mutate.
  set(fuzz_seeds ${CMAKE_CURRENT_BINARY_DIR}/fuzz-seeds)
  # The table fuzzer gets a table of its own as seed, in a folder of its own.
  set(table_seeds ${CMAKE_CURRENT_BINARY_DIR}/fuzz-seeds-table)
  add_custom_command(OUTPUT ${fuzz_seeds}/licence.pl ${table_seeds}/table.bin
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${fuzz_seeds} ${table_seeds}
                     COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/licence.txt ${fuzz_seeds}/licence.txt
                     COMMAND payload-tool encode ${CMAKE_SOURCE_DIR}/resources/licence.txt ${fuzz_seeds}/licence.pl
                     COMMAND payload-tool table ${table_seeds}/table.bin 116=${fuzz_seeds}/licence.pl
                     DEPENDS payload-tool ${CMAKE_SOURCE_DIR}/resources/licence.txt VERBATIM)
  add_custom_target(payload_fuzz_seeds ALL DEPENDS ${fuzz_seeds}/licence.pl ${table_seeds}/table.bin)
  foreach(fuzzer decoder roundtrip table)
    set(seeds ${fuzz_seeds})
    if(fuzzer STREQUAL "table")
      set(seeds ${table_seeds})
    endif()
    add_executable(payload_${fuzzer}_fuzz
                   ${CMAKE_CURRENT_LIST_DIR}/fuzz/payload_${fuzzer}_fuzz.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/payload_decoder.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/payload_checksum.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/payload_table.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/payload_encoder.cpp)
    target_include_directories(payload_${fuzzer}_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(payload_${fuzzer}_fuzz PRIVATE common)
    target_compile_options(payload_${fuzzer}_fuzz PRIVATE ${codec_fuzz_flags})
    target_link_options(payload_${fuzzer}_fuzz PRIVATE ${codec_fuzz_flags})
    mv_warnings(payload_${fuzzer}_fuzz)
    if(BUILD_TESTING)
      # Each run starts from its own copy of the seeds, so that runs stay alike.
      set(corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz-corpus-${fuzzer})
      add_test(NAME payload_${fuzzer}_fuzz
               COMMAND sh -c "rm -rf '${corpus}' && mkdir -p '${corpus}' && cp '${seeds}'/* '${corpus}' && exec \"$0\" \"$@\" '${corpus}'"
                       $<TARGET_FILE:payload_${fuzzer}_fuzz>
                       -runs=20000 -max_total_time=10 -max_len=20000 -seed=1 -print_final_stats=1)
      set_tests_properties(payload_${fuzzer}_fuzz PROPERTIES LABELS "native;fuzz")
    endif()
  endforeach()
endif()

# Compression and speed against gzip, xz and zlib: build/host/payload-bench.
if(NOT WIN32)
  find_package(ZLIB)
  if(ZLIB_FOUND)
    add_executable(payload-bench ${CMAKE_CURRENT_LIST_DIR}/bench/payload_bench.cpp)
    target_link_libraries(payload-bench PRIVATE payload_encoder ZLIB::ZLIB)
    set_target_properties(payload-bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    mv_warnings(payload-bench)
  endif()
endif()
