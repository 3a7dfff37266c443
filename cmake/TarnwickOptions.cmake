# One interface target carries the language level, warnings and sanitizers;
# every target of the project (tests included) links it.
add_library(tw_options INTERFACE)
target_compile_features(tw_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(tw_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(TW_WERROR)
  target_compile_options(tw_options INTERFACE -Werror)
endif()
if(TW_SANITIZE)
  string(REPLACE ";" "," _tw_san "${TW_SANITIZE}")
  target_compile_options(tw_options INTERFACE -fsanitize=${_tw_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tw_options INTERFACE -fsanitize=${_tw_san})
endif()
target_compile_definitions(tw_options INTERFACE _FILE_OFFSET_BITS=64)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # At -O3 GCC 12 reports overlaps and uninitialised bytes inside std::string
  # that cannot happen (GCC bugs 105329, 105562); they would break Release builds.
  target_compile_options(tw_options INTERFACE
    $<$<CONFIG:Release>:-Wno-restrict -Wno-maybe-uninitialized>)
endif()
