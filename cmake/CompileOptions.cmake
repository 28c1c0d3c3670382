# Compile options shared by every target of both builds.
add_library(ringdeck_options INTERFACE)
target_compile_options(ringdeck_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-align -Wnull-dereference -Wimplicit-fallthrough)
if(RINGDECK_WERROR)
  target_compile_options(ringdeck_options INTERFACE -Werror)
endif()

if(WIN32)
  # ANSI Win32 API throughout; no min/max macros in the way of the standard library.
  target_compile_definitions(ringdeck_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Static runtime: the programs need no mingw DLL beside them.
  target_link_options(ringdeck_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

if(RINGDECK_FUZZ)
  # Everything, the core included, is instrumented for coverage and checked by sanitizers.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
