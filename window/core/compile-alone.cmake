# Compiles each of the window core's files on its own, with the project's
# folder as the only include folder, and fails when any of them reaches Qt or
# windows.h: the core decides the window's behaviour for every toolkit and
# must build where neither is at hand.
#   cmake -DCOMPILER=... -DSOURCE_DIR=... -DSTAMP=... -P compile-alone.cmake
file(GLOB files ${SOURCE_DIR}/window/core/*.cpp ${SOURCE_DIR}/window/core/*.h)
foreach(file IN LISTS files)
  # -M lists every header the file reaches, the system's included.
  execute_process(
    COMMAND ${COMPILER} -std=c++20 -x c++ -I${SOURCE_DIR} -M ${file}
    OUTPUT_VARIABLE headers ERROR_VARIABLE problem RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the window core's ${file} does not compile alone:\n${problem}")
  endif()
  string(TOLOWER "${headers}" headers)
  if(headers MATCHES "[/\\\\ ](windows\\.h|qt[a-z]*/[^ ]*)")
    message(FATAL_ERROR "the window core's ${file} reaches ${CMAKE_MATCH_1}")
  endif()
endforeach()
file(TOUCH ${STAMP})
