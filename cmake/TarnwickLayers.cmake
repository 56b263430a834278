# The layers as build targets. Every public header sits under one root,
# include/tarnwick/<layer>/, so that root alone would show a layer the headers
# of every other. Instead each layer compiles against a view of its own: a
# folder in the build tree that holds links tarnwick/<layer> to the public
# headers of the layer itself and of the layers it may use, and nothing else.
# A header of any other layer is then not found, and the build stops.

# Makes the view of `target` over `layers` and gives it to the target as its
# only way to the public headers.
function(tarnwick_include_view target)
  set(view ${PROJECT_BINARY_DIR}/layer-views/${target})
  file(MAKE_DIRECTORY ${view}/tarnwick)
  # Links left from an earlier configuration with other layers go first.
  file(GLOB stale LIST_DIRECTORIES true ${view}/tarnwick/*)
  if(stale)
    file(REMOVE ${stale})
  endif()
  foreach(layer IN LISTS ARGN)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/include/tarnwick/${layer} ${view}/tarnwick/${layer} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${view})
endfunction()

# What the code of every binary of the library shares: its symbols hidden
# but for the ones marked TARNWICK_API (automation/Export.h), and, in a fuzzing
# build, the coverage that guides the fuzz targets.
function(tarnwick_library_options target)
  tarnwick_warnings(${target})
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(TARNWICK_BUILD_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# tarnwick_layer(<layer> [USES <layer>...] [HEADERS ALL | <header>...])
#
# Declares the layer src/<layer>/ as the object library tarnwick_<layer>,
# seeing only its own public headers and those of the layers it USES (name
# all of them: what a used layer uses is not passed on), and adds its objects
# to libtarnwick.so. HEADERS names the public headers a client uses, which
# are installed (without ".h"; ALL for every one); the others serve the
# library and its own tests only.
function(tarnwick_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;HEADERS")
  if(layer IN_LIST TARNWICK_SKIP_LAYERS)
    return()
  endif()
  # A layer's sources, and those of its folders (the engine keeps each
  # backend in one).
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*/*.cpp)
  set(target tarnwick_${layer})
  add_library(${target} OBJECT ${sources})
  tarnwick_library_options(${target})
  # Calls inside the library bind to the library itself: nothing outside may
  # replace its functions, which lets them be called directly.
  target_compile_options(${target} PRIVATE -fno-semantic-interposition)
  tarnwick_include_view(${target} ${layer} ${arg_USES})
  foreach(used IN LISTS arg_USES)
    if(TARGET tarnwick_${used})
      target_link_libraries(${target} PRIVATE tarnwick_${used})
    endif()
  endforeach()
  target_link_libraries(tarnwick PRIVATE ${target})
  tarnwick_install_headers(${layer} ${arg_HEADERS})
endfunction()

# tarnwick_install_headers(<layer> ALL | <header>...)
function(tarnwick_install_headers layer)
  set(folder ${PROJECT_SOURCE_DIR}/include/tarnwick/${layer})
  if(ARGN STREQUAL "ALL")
    file(GLOB headers ${folder}/*.h)
  else()
    list(TRANSFORM ARGN REPLACE "^(.+)$" "${folder}/\\1.h" OUTPUT_VARIABLE headers)
  endif()
  set(component development)
  if(layer STREQUAL "qt")
    set(component qt-development)
  endif()
  if(headers)
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tarnwick/${layer} COMPONENT ${component})
  endif()
endfunction()
