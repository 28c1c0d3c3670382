# The helper: reading the settings file into the application map and building the menus, and
# looking an application up.
ringdeck_benchmark(helper_bench SOURCES helper_bench.cpp LIBS ringdeck_helper_core)
