# Installs the built library into a scratch prefix, then configures, builds
# and runs the example consumer against it through find_package(Tarnwick).
set(prefix ${BINARY_DIR}/prefix)
file(REMOVE_RECURSE ${BINARY_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${TOP_BINARY_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=address,undefined")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${BINARY_DIR}/build
                  -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
                  -DCMAKE_CXX_FLAGS=${flags} -DCMAKE_EXE_LINKER_FLAGS=${flags}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR}/build RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "build failed: ${rc}")
endif()
execute_process(COMMAND ${BINARY_DIR}/build/consumer RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer failed: ${rc}")
endif()
