# How the project installs and packages itself: installed programs and
# libraries find their libraries relative to themselves, each library has a
# pkg-config file, and `cpack -G DEB` makes one Debian package per component.
#
# Components and their packages:
#   library         libtarnwick0         libtarnwick.so.0
#   development     libtarnwick-dev      headers, CMake package, pkg-config file
#   qt              libtarnwick-qt0      libtarnwick_qt.so.0 (the Qt host)
#   qt-development  libtarnwick-qt-dev   the Qt host's headers, CMake targets, pkg-config file
#   python          python3-tarnwick     the module for Debian's python3
#   tools           tarnwick-tools       the tarnwick command
#   orders          tarnwick-orders      the sample front end and its forms

# The installed library folder as seen from the installed programs.
file(RELATIVE_PATH _tarnwick_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(TARNWICK_PROGRAM_RPATH "$ORIGIN/${_tarnwick_bin_to_lib}")

# A program installed into the binary folder finds the project's libraries
# wherever the prefix was put (a package unpacked elsewhere, /opt, /usr/local).
function(tarnwick_program_rpath target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${TARNWICK_PROGRAM_RPATH}")
endfunction()

# tarnwick_pkgconfig(<name> <component> <description> <library> [REQUIRES <module>...])
# writes <name>.pc into the library folder's pkgconfig/, relocatable: its
# prefix is found from where the file lies.
function(tarnwick_pkgconfig name component description library)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "" "REQUIRES")
  set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  file(RELATIVE_PATH PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${pc_dir} ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" PC_TO_PREFIX "${PC_TO_PREFIX}")
  set(PC_NAME ${name})
  set(PC_DESCRIPTION ${description})
  set(PC_LIBRARY ${library})
  list(JOIN arg_REQUIRES " " PC_REQUIRES)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/tarnwick.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc DESTINATION ${pc_dir} COMPONENT ${component})
endfunction()

# The Debian packages; include this after every install rule.
macro(tarnwick_debian_packages)
  set(CPACK_PACKAGE_NAME tarnwick)
  set(CPACK_PACKAGE_VENDOR "Tarnwick")
  set(CPACK_PACKAGE_CONTACT "Tarnwick developers <tarnwick@example.org>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Component library for form-based database front ends")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # Dependencies on the system's libraries come from the binaries themselves;
  # the project's own libraries are found in the build tree and depended on
  # by package below.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/src/qt)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  # As Debian's own packages: binaries stripped (the debugging information
  # stays in the build), a shlibs file for the libraries, and the library
  # cache refreshed by a trigger.
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  file(WRITE ${PROJECT_BINARY_DIR}/packaging/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/triggers)
  set(CPACK_DEBIAN_QT_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/triggers)

  set(CPACK_COMPONENTS_ALL library development tools)
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libtarnwick${PROJECT_VERSION_MAJOR})
  set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "Tarnwick: the library\nThe four classes, the automation runtime, the data engine on SQLite and the headless host.")
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtarnwick-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
  set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Tarnwick: development files\nHeaders, the CMake package Tarnwick and the pkg-config file tarnwick.")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tarnwick-tools)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
  set(CPACK_COMPONENT_TOOLS_DEPENDS library)
  set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Tarnwick: the tarnwick command\nCalls the library's routines by name, lists its type library, writes the sample database.")
  if(TARGET tarnwick_qt)
    list(APPEND CPACK_COMPONENTS_ALL qt qt-development)
    set(CPACK_DEBIAN_QT_PACKAGE_NAME libtarnwick-qt${PROJECT_VERSION_MAJOR})
    set(CPACK_COMPONENT_QT_DEPENDS library)
    # The tool prints PDF files through the Qt host.
    list(APPEND CPACK_COMPONENT_TOOLS_DEPENDS qt)
    set(CPACK_COMPONENT_QT_DESCRIPTION "Tarnwick: the Qt host\nReal Qt widgets behind the members of the library's forms and controls.")
    set(CPACK_DEBIAN_QT-DEVELOPMENT_PACKAGE_NAME libtarnwick-qt-dev)
    set(CPACK_DEBIAN_QT-DEVELOPMENT_PACKAGE_SECTION libdevel)
    set(CPACK_DEBIAN_QT-DEVELOPMENT_PACKAGE_DEPENDS "qt6-base-dev")
    set(CPACK_COMPONENT_QT-DEVELOPMENT_DEPENDS qt development)
    set(CPACK_COMPONENT_QT-DEVELOPMENT_DESCRIPTION "Tarnwick: development files of the Qt host\nHeaders, the CMake target Tarnwick::qt and the pkg-config file tarnwick-qt.")
  endif()
  if(TARGET orders)
    list(APPEND CPACK_COMPONENTS_ALL orders)
    set(CPACK_DEBIAN_ORDERS_PACKAGE_NAME tarnwick-orders)
    set(CPACK_DEBIAN_ORDERS_PACKAGE_SECTION misc)
    set(CPACK_COMPONENT_ORDERS_DEPENDS library qt)
    set(CPACK_COMPONENT_ORDERS_DESCRIPTION "Tarnwick: the sample front end Orders\nQt windows that search, show and edit the orders of a sample database.")
  endif()
  if(TARGET tarnwick_python)
    list(APPEND CPACK_COMPONENTS_ALL python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tarnwick)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    # The module is built for one minor version of the interpreter.
    math(EXPR _tarnwick_next_minor "${Python_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), python3 (<< ${Python_VERSION_MAJOR}.${_tarnwick_next_minor})")
    set(CPACK_COMPONENT_PYTHON_DEPENDS library)
    set(CPACK_COMPONENT_PYTHON_DESCRIPTION "Tarnwick: the Python module\nThe module tarnwick for the system's python3.")
  endif()
  tarnwick_package_documents()
  include(CPack)
endmacro()

# What every Debian package carries: its copyright and changelog in
# share/doc/<package>/; and the manual pages (compressed, as Debian's are),
# and the reference with the development files.
function(tarnwick_compressed source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()

macro(tarnwick_package_documents)
  set(_tarnwick_docs ${PROJECT_BINARY_DIR}/packaging)
  file(MAKE_DIRECTORY ${_tarnwick_docs})
  tarnwick_compressed(${PROJECT_SOURCE_DIR}/packaging/changelog ${_tarnwick_docs}/changelog.gz)
  set(_tarnwick_outputs ${_tarnwick_docs}/changelog.gz)
  foreach(_page tarnwick orders)
    tarnwick_compressed(${PROJECT_SOURCE_DIR}/packaging/${_page}.1 ${_tarnwick_docs}/${_page}.1.gz)
    list(APPEND _tarnwick_outputs ${_tarnwick_docs}/${_page}.1.gz)
  endforeach()
  add_custom_target(tarnwick_package_documents ALL DEPENDS ${_tarnwick_outputs})
  foreach(_component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${_component} _upper)
    set(_package ${CPACK_DEBIAN_${_upper}_PACKAGE_NAME})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${_tarnwick_docs}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_package} COMPONENT ${_component})
  endforeach()
  install(FILES ${_tarnwick_docs}/tarnwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  if(TARGET orders)
    install(FILES ${_tarnwick_docs}/orders.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT orders)
  endif()
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME}/reference
    COMPONENT development FILES_MATCHING PATTERN "*.md")
endmacro()
