# velkora_test_environment(<variable> <home> [OFFSCREEN] [RUNTIME <folder>])
#
# The environment every test runs in: a home of its own (nothing lands in the
# real user's folders), an inert session bus address (nothing tries to start
# a bus), the sample files, the application id, and what the sanitizers are to
# do; OFFSCREEN for tests without a display of their own, RUNTIME for a
# private runtime folder, so that Qt does not warn and the single-copy lock of
# one test never meets another's. The end-to-end and reliability tests use it
# too.
function(velkora_test_environment variable home)
  cmake_parse_arguments(ARG "OFFSCREEN" "RUNTIME" "" ${ARGN})
  set(environment
    "HOME=${home}" "XDG_CONFIG_HOME=${home}/.config"
    "DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null"
    "VELKORA_TEST_DATA=${VELKORA_SOURCE_DIR}/tests/data" "VELKORA_APP_ID=${VELKORA_APP_ID}"
    "LSAN_OPTIONS=suppressions=${VELKORA_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  if(ARG_OFFSCREEN)
    list(APPEND environment "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_RUNTIME)
    list(APPEND environment "XDG_RUNTIME_DIR=${ARG_RUNTIME}")
  endif()
  set(${variable} "${environment}" PARENT_SCOPE)
endfunction()

# velkora_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>])
#
# One QtTest program per unit, in the environment above, offscreen, with a
# runtime folder of its own.
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
  velkora_test_environment(environment "${runtime}/home" OFFSCREEN RUNTIME "${runtime}")
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}" ENVIRONMENT "${environment}")
endfunction()
