# What every target of ours is built with, in the program's build and in the
# fuzzer's own project alike (tests/fuzz):
#   velkora_warnings  linked privately by each target: warnings are errors
#   velkora_flags     passed on by the base libraries (platform/core,
#                     resources) to everything that links them: the project
#                     root as include folder, Qt's strict string casts, the
#                     version and the id, and the sanitizer or hardening flags
# Set VELKORA_SANITIZE and VELKORA_HARDEN before including it.
get_filename_component(VELKORA_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# One reverse-DNS id names the desktop file, the AppStream component, the icon
# and the Wayland app id.
set(VELKORA_APP_ID io.github.velkora-dev.velkora)

add_library(velkora_warnings INTERFACE)
target_compile_options(velkora_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Woverloaded-virtual -Wformat=2 -Werror
  # What clang alone says of Qt's own logging macros.
  $<$<CXX_COMPILER_ID:Clang>:-Wno-gnu-zero-variadic-macro-arguments>)

add_library(velkora_flags INTERFACE)
target_include_directories(velkora_flags INTERFACE ${VELKORA_SOURCE_DIR})
target_compile_definitions(velkora_flags INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_KEYWORDS
  VELKORA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  VELKORA_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  VELKORA_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  VELKORA_APP_ID="${VELKORA_APP_ID}")
if(VELKORA_SANITIZE)
  target_compile_options(velkora_flags INTERFACE
    -fsanitize=${VELKORA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(velkora_flags INTERFACE -fsanitize=${VELKORA_SANITIZE})
elseif(VELKORA_HARDEN)
  # Only where the optimiser runs: _FORTIFY_SOURCE does nothing without it.
  # Level 3 because at level 2 every call of ours is one the compiler either
  # proves in bounds or cannot size, so none would be checked at all. A
  # compiler that defines its own level would see a redefinition (an error
  # with -Werror), hence the -U first.
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  set(_velkora_release $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
  target_compile_options(velkora_flags INTERFACE
    $<${_velkora_release}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3;-fstack-protector-strong;-fstack-clash-protection>)
  target_link_options(velkora_flags INTERFACE $<${_velkora_release}:LINKER:-z,relro,-z,now>)
endif()
