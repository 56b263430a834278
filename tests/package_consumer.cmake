# Installs the built library into a scratch prefix, compiles its installed
# headers, then configures, builds and runs the example consumer against it
# through find_package(Tarnwick).
set(prefix ${BINARY_DIR}/prefix)
file(REMOVE_RECURSE ${BINARY_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${TOP_BINARY_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()

# Every installed header compiles against the installed ones alone: none
# includes a header that stays with the library. (The Qt host's headers also
# need Qt's; the Qt host's own clients build them.)
file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/tarnwick/*.h)
list(FILTER headers EXCLUDE REGEX "^tarnwick/qt/")
list(TRANSFORM headers REPLACE "^(.+)$" "#include <\\1>\n")
string(JOIN "" text ${headers})
file(WRITE ${BINARY_DIR}/headers.cpp "${text}")
execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${prefix}/include ${BINARY_DIR}/headers.cpp
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed headers do not compile: ${rc}")
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
