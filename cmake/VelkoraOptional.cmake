# velkora_if_source(<file> <command...>): runs the command only when the source
# file exists, so that tests and benchmarks can be declared before they are written.
macro(velkora_if_source file)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
    cmake_language(CALL ${ARGN})
  endif()
endmacro()
