# The installation engine: file helpers, detection, registration, the log
# and the ten installation steps, with no window of its own. Windows only.
add_library(install_engine STATIC
  file_helpers.cpp
  detection.cpp
  registration.cpp
  install_log.cpp
  install_sequence.cpp)
target_include_directories(install_engine PUBLIC ${CMAKE_SOURCE_DIR})
# Only DLLs that Windows always takes from the system folder are imported;
# version.dll is loaded by full path at run time (detection.cpp).
target_link_libraries(install_engine PUBLIC setup_state common ole32 shell32 uuid)
mv_warnings(install_engine)
target_compile_options(install_engine PRIVATE -fno-exceptions -fno-rtti)

# The steps call into the settings and payload subsystems (configured after
# this folder; the names resolve when the project is generated).
target_link_libraries(install_engine PUBLIC settings payload_extraction)

# settings-tool: the settings migration, the settings file and detection,
# run on their own for support and tests.
add_executable(settings-tool settings_tool.cpp)
target_link_libraries(settings-tool PRIVATE settings install_engine)
mv_windows_program(settings-tool)
set_target_properties(settings-tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

if(BUILD_TESTING)
  # A stand-in for the product: a version resource (product 3.4.0.0, file
  # 7.1.0.0) and, when started, a note of its current directory.
  add_executable(product_probe WIN32 tests/product_probe.cpp tests/product_probe.rc)
  mv_windows_program(product_probe)

  # A DLL planted next to a test under a system-like name: never to be loaded.
  add_library(planted_library SHARED tests/planted_library.cpp)
  set_target_properties(planted_library PROPERTIES PREFIX "" OUTPUT_NAME planted_library)
  mv_windows_program(planted_library)

  mv_test(file_helpers_test SOURCES tests/file_helpers_test.cpp LIBS install_engine)
  mv_test(detection_test SOURCES tests/detection_test.cpp LIBS install_engine)
  add_dependencies(detection_test product_probe)
  add_dependencies(file_helpers_test planted_library product_probe)
  mv_test(registration_test SOURCES tests/registration_test.cpp LIBS install_engine)
  add_dependencies(registration_test product_probe)

  # The steps with a recording host and no window, against the stand-ins.
  mv_test(install_engine_test
    SOURCES tests/install_engine_test.cpp tests/sequence_stand_ins.cpp
            install_sequence.cpp install_log.cpp file_helpers.cpp
    LIBS setup_state common shell32 ole32)

  mv_test(engine_tool_test SOURCES tests/engine_tool_test.cpp LIBS common)
  add_dependencies(engine_tool_test settings-tool)
endif()
