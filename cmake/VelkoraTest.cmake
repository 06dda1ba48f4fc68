# velkora_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>])
#
# One QtTest program per unit. Every test runs without a display of its own
# (offscreen platform), with a private runtime folder so that Qt does not warn
# and the single-copy lock of one test never meets another's, with a home of
# its own (nothing lands in the real user's folders), and with an inert
# session bus address so that nothing tries to start a bus.
set(VELKORA_TEST_RUNTIME_ROOT "${CMAKE_BINARY_DIR}/test-runtime")
file(MAKE_DIRECTORY "${VELKORA_TEST_RUNTIME_ROOT}")
file(CHMOD "${VELKORA_TEST_RUNTIME_ROOT}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(velkora_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} velkora_test_support Qt6::Test velkora_warnings)
  # Test tables are easier to read with plain string literals.
  target_compile_options(${name} PRIVATE -UQT_NO_CAST_FROM_ASCII)
  add_test(NAME ${name} COMMAND ${name})
  set(runtime "${VELKORA_TEST_RUNTIME_ROOT}/${name}")
  file(MAKE_DIRECTORY "${runtime}")
  file(CHMOD "${runtime}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${runtime};HOME=${runtime}/home;XDG_CONFIG_HOME=${runtime}/home/.config;DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null;VELKORA_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
