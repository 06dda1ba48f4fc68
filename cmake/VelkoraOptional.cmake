# velkora_if_source(<file> <command> <args...>): runs the command only when the
# source file exists, so that tests and benchmarks can be declared before they
# are written.
function(velkora_if_source file command)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
    cmake_language(CALL ${command} ${ARGN})
  endif()
endfunction()
