# The engine's process-level core: command line, device table, report target, settings image,
# setup (install / remove) and service status.
add_library(ringdeck_engine_process STATIC
  command_line.cpp
  device_table.cpp
  engine_setup.cpp
  device_readers.cpp
  report_target.cpp
  service_status.cpp
  settings_image.cpp)
target_include_directories(ringdeck_engine_process PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ringdeck_engine_process PUBLIC ringdeck_common PRIVATE ringdeck_options)

ringdeck_unit_test(engine_process_test
  SOURCES
    command_line_test.cpp
    device_readers_test.cpp
    device_table_test.cpp
    engine_setup_test.cpp
    report_target_test.cpp
    service_status_test.cpp
    settings_image_test.cpp
  LIBS ringdeck_engine_process)

# The engine put together: process core + translation and output core.
if(NOT TARGET ringdeck_engine_core)
  return()
endif()
add_library(ringdeck_engine STATIC engine.cpp)
target_link_libraries(ringdeck_engine PUBLIC ringdeck_engine_process ringdeck_engine_core PRIVATE ringdeck_options)

ringdeck_unit_test(engine_test SOURCES engine_test.cpp LIBS ringdeck_engine)
ringdeck_unit_test(engine_stress_test SOURCES engine_stress_test.cpp LIBS ringdeck_engine)

if(WIN32)
  enable_language(RC)
  set(engine_glue
    win32/RingDeckEngine.rc
    win32/engine_main.cpp
    win32/engine_setup_win32.cpp
    win32/input_sink_win32.cpp
    win32/shared_section.cpp)
  # The product reads HID devices...
  add_executable(RingDeckEngine WIN32 ${engine_glue} win32/hid_source.cpp)
  target_link_libraries(RingDeckEngine PRIVATE ringdeck_engine ringdeck_common_win32 hid setupapi ringdeck_options)
  set_target_properties(RingDeckEngine PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/dist)
  # ...the virtual-device build, for tests and the demo, reads named pipes instead.
  add_executable(RingDeckEngineVirtual WIN32 ${engine_glue} win32/virtual_source.cpp)
  target_link_libraries(RingDeckEngineVirtual PRIVATE ringdeck_engine ringdeck_common_win32 ringdeck_options)

  ringdeck_unit_test(shared_section_wine_test WINE
    SOURCES win32/shared_section_wine_test.cpp win32/shared_section.cpp
    LIBS ringdeck_engine ringdeck_common_win32)
endif()
