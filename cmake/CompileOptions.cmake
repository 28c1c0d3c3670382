# Compile options shared by every target of both builds.
add_library(ringdeck_options INTERFACE)
target_compile_options(ringdeck_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-align -Wnull-dereference -Wimplicit-fallthrough)
# GCC 12 reports -Wrestrict inside std::string concatenation at -O2 where there is no overlap
# (a known false positive of that compiler release).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(ringdeck_options INTERFACE -Wno-restrict)
endif()
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

if(RINGDECK_TSAN)
  # Every target, the engine core included, is instrumented; a report ends the program with an error.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
