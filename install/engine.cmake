# The installation engine: file helpers, detection, registration and the
# installation sequence of the Progress page. Windows only (included by
# install/CMakeLists.txt after setup_state).
add_library(install_engine STATIC
  file_helpers.cpp
  detection.cpp
  registration.cpp
  install_sequence.cpp)
target_include_directories(install_engine PUBLIC ${CMAKE_SOURCE_DIR})
# Only DLLs that Windows always takes from the system folder are imported;
# version.dll is loaded by full path at run time (detection.cpp).
target_link_libraries(install_engine PUBLIC setup_state common ole32 shell32 uuid)
mv_warnings(install_engine)
target_compile_options(install_engine PRIVATE -fno-exceptions -fno-rtti)

# The sequence calls into the settings, payload and shell subsystems, whose
# folders are configured after this one: link whichever of their libraries
# exist once the whole project has been read.
function(mv_link_engine_collaborators)
  foreach(library settings payload_extraction shell_ui)
    if(TARGET ${library})
      target_link_libraries(install_engine PUBLIC ${library})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL mv_link_engine_collaborators)

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

  if(TARGET settings-tool OR EXISTS ${CMAKE_SOURCE_DIR}/settings/settings_tool.cpp)
    mv_test(engine_tool_test SOURCES tests/engine_tool_test.cpp LIBS common)
    add_dependencies(engine_tool_test settings-tool)
  endif()

  # The sequence against recording stand-ins for the other subsystems and for
  # registration, built from the sources so that no real collaborator links.
  mv_test(install_sequence_test
    SOURCES tests/install_sequence_test.cpp tests/sequence_stand_ins.cpp
            install_sequence.cpp file_helpers.cpp
    LIBS setup_state common comctl32)
  add_dependencies(install_sequence_test product_probe)
endif()
