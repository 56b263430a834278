# Builds the Debian packages with cpack, unpacks their contents into a
# temporary root (no root rights: dpkg-deb -x), checks their dependencies,
# then uses what was unpacked as a client would: the installed tool runs,
# the example consumer (and its Qt client) configures, builds and runs
# against the unpacked CMake package, the pkg-config files point at the
# unpacked files, and the Python module imports from there.
#   cmake -DTOP_BINARY_DIR= -DSOURCE_DIR= -DBINARY_DIR= -DGENERATOR= -DCXX= -DCXX_FLAGS= -DQT=
#         -DPYTHON= -DPYTHON_ENV= -P package_debian.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${BINARY_DIR})
set(root ${BINARY_DIR}/root)
file(MAKE_DIRECTORY ${root})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Uncompressed: the test is about what the packages hold and need, and
# compressing the libraries' debugging information is most of cpack's time.
run("cpack" ${CMAKE_CPACK_COMMAND} --config ${TOP_BINARY_DIR}/CPackConfig.cmake -G DEB -B ${BINARY_DIR}/debs
    -D CPACK_DEBIAN_COMPRESSION_TYPE=none)
file(GLOB debs ${BINARY_DIR}/debs/*.deb)

# Each package's name and dependencies, by name.
set(expected libtarnwick0 libtarnwick-dev tarnwick-tools)
if(QT)
  list(APPEND expected libtarnwick-qt0 libtarnwick-qt-dev tarnwick-orders)
endif()
if(PYTHON)
  list(APPEND expected python3-tarnwick)
endif()
set(found "")
foreach(deb IN LISTS debs)
  run("dpkg-deb -f ${deb}" dpkg-deb -f ${deb} Package)
  string(STRIP "${out}" package)
  list(APPEND found ${package})
  run("dpkg-deb -f ${deb}" dpkg-deb -f ${deb} Depends)
  set(depends_${package} "${out}")
  run("dpkg-deb -x ${deb}" dpkg-deb -x ${deb} ${root})
endforeach()
foreach(package IN LISTS expected)
  if(NOT package IN_LIST found)
    message(FATAL_ERROR "no package ${package} among: ${found}")
  endif()
endforeach()
function(expect_depends package pattern)
  if(NOT depends_${package} MATCHES "${pattern}")
    message(FATAL_ERROR "${package} should depend on ${pattern}; it depends on: ${depends_${package}}")
  endif()
endfunction()
expect_depends(libtarnwick0 "libsqlite3-0")
expect_depends(libtarnwick0 "libstdc\\+\\+6")
expect_depends(libtarnwick-dev "libtarnwick0 \\(= ")
expect_depends(tarnwick-tools "libtarnwick0 \\(= ")
if(QT)
  expect_depends(libtarnwick-qt0 "libqt6widgets6")
  expect_depends(libtarnwick-qt0 "libtarnwick0 \\(= ")
  expect_depends(libtarnwick-qt-dev "libtarnwick-dev \\(= ")
  expect_depends(libtarnwick-qt-dev "qt6-base-dev")
  expect_depends(tarnwick-orders "libtarnwick-qt0 \\(= ")
endif()
if(PYTHON)
  expect_depends(python3-tarnwick "python3")
  expect_depends(python3-tarnwick "libtarnwick0 \\(= ")
endif()

# Every package carries its copyright and changelog; the libraries lie in
# the multiarch folder; the manual pages read; the reference comes with the
# development files; Debian's package checker finds no error.
foreach(package IN LISTS found)
  foreach(file copyright changelog.gz)
    if(NOT EXISTS ${root}/usr/share/doc/${package}/${file})
      message(FATAL_ERROR "${package} carries no /usr/share/doc/${package}/${file}")
    endif()
  endforeach()
endforeach()
file(GLOB multiarch_libraries ${root}/usr/lib/*-linux-gnu*/libtarnwick.so.0)
if(NOT multiarch_libraries)
  message(FATAL_ERROR "libtarnwick.so.0 is not in the multiarch folder /usr/lib/<triplet>/")
endif()
set(pages tarnwick)
if(QT)
  list(APPEND pages orders)
endif()
foreach(page IN LISTS pages)
  run("man -l ${page}.1.gz" ${CMAKE_COMMAND} -E env MANWIDTH=80 man -l ${root}/usr/share/man/man1/${page}.1.gz)
  if(NOT out MATCHES "NAME")
    message(FATAL_ERROR "the manual page ${page}(1) reads: ${out}")
  endif()
endforeach()
if(NOT EXISTS ${root}/usr/share/doc/libtarnwick-dev/reference/README.md)
  message(FATAL_ERROR "libtarnwick-dev carries no reference")
endif()
find_program(LINTIAN lintian)
if(LINTIAN)
  foreach(deb IN LISTS debs)
    # This test packs without compression, for speed; real packages are compressed.
    execute_process(COMMAND ${LINTIAN} --tag-display-limit 0 --suppress-tags uses-no-compression-for-data-tarball ${deb}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(out MATCHES "(^|\n)E: ")
      message(FATAL_ERROR "lintian finds errors in ${deb}:\n${out}${err}")
    endif()
  endforeach()
else()
  message(WARNING "lintian is not installed: scripts/deps.sh installs it")
endif()

# The installed programs find the unpacked libraries by themselves.
run("the unpacked tarnwick tool" ${root}/usr/bin/tarnwick version)
run("the unpacked tarnwick tool" ${root}/usr/bin/tarnwick call Tarnwick.APIWrapper GetIniValue S K
    ${BINARY_DIR}/missing.ini)
if(QT)
  run("the unpacked orders program" ${root}/usr/bin/orders --help)
endif()

# The pkg-config files, relocated with the root, name its folders.
file(GLOB_RECURSE pcs ${root}/*.pc)
set(expected_pcs tarnwick.pc)
if(QT)
  list(APPEND expected_pcs tarnwick-qt.pc)
endif()
foreach(pc IN LISTS expected_pcs)
  if(NOT pcs MATCHES "/${pc}")
    message(FATAL_ERROR "no ${pc} in the packages: ${pcs}")
  endif()
endforeach()
foreach(pc IN LISTS pcs)
  get_filename_component(pc_dir ${pc} DIRECTORY)
  get_filename_component(name ${pc} NAME_WE)
  run("pkg-config ${name}" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir}
      pkg-config --cflags-only-I --libs-only-L --libs-only-l --dont-define-prefix ${name})
  string(REGEX MATCH "-I([^ \n]+)" _ "${out}")
  set(include_dir ${CMAKE_MATCH_1})
  string(REGEX MATCH "-L([^ \n]+)" _ "${out}")
  set(lib_dir ${CMAKE_MATCH_1})
  string(REGEX MATCH "-l(tarnwick[a-z_]*)" _ "${out}")
  set(lib ${CMAKE_MATCH_1})
  if(NOT EXISTS ${include_dir}/tarnwick/automation/Object.h OR NOT EXISTS ${lib_dir}/lib${lib}.so)
    message(FATAL_ERROR "pkg-config ${name} points elsewhere: ${out}")
  endif()
endforeach()

set(consumer_options -DCMAKE_PREFIX_PATH=${root}/usr -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
                     "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}" -DCONSUMER_QT=${QT})
run("configuring the consumer" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${BINARY_DIR}/consumer
    -G ${GENERATOR} ${consumer_options})
run("building the consumer" ${CMAKE_COMMAND} --build ${BINARY_DIR}/consumer)
run("the consumer" ${BINARY_DIR}/consumer/consumer)
if(QT)
  run("the Qt consumer" ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${BINARY_DIR}/consumer/consumer_qt)
endif()

if(PYTHON)
  file(WRITE ${BINARY_DIR}/import.py [=[
import sys
import tarnwick
assert tarnwick.__file__.startswith(sys.argv[1]), tarnwick.__file__
print(tarnwick.CreateObject("Tarnwick.APIWrapper").GetIniValue("S", "K", sys.argv[2]) == "")
]=])
  run("importing the unpacked Python module" ${CMAKE_COMMAND} -E env ${PYTHON_ENV}
      PYTHONPATH=${root}/usr/lib/python3/dist-packages PYTHONDONTWRITEBYTECODE=1
      ${PYTHON} ${BINARY_DIR}/import.py ${root} ${BINARY_DIR}/missing.ini)
  if(NOT out MATCHES "True")
    message(FATAL_ERROR "the unpacked Python module answered: ${out}")
  endif()
endif()
