# The engine's process-level core: command line, device table, report target, settings image,
# setup (install / remove) and service status.
add_library(ringdeck_engine_process STATIC
  command_line.cpp
  device_table.cpp
  engine_setup.cpp
  device_input.cpp
  report_target.cpp
  service_status.cpp
  settings_image.cpp)
target_include_directories(ringdeck_engine_process PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ringdeck_engine_process PUBLIC ringdeck_common PRIVATE ringdeck_options)

ringdeck_unit_test(engine_process_test
  SOURCES
    command_line_test.cpp
    device_input_test.cpp
    device_table_test.cpp
    engine_setup_test.cpp
    report_target_test.cpp
    service_status_test.cpp
    settings_image_test.cpp
  LIBS ringdeck_engine_process)
