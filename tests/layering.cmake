# Checks the includes of the library's sources against its layering, the part
# the build cannot see: relative paths into another layer's folder, and
# SQLite's and libpq's headers (found on the system's path by every layer).
#   - the four classes include no engine, host or Qt host header, neither
#     <tarnwick/engine/...> nor a path into src/engine, src/host or src/qt;
#   - the Qt host includes no engine header;
#   - sqlite3.h is included only in src/engine/sqlite/ and libpq-fe.h only in
#     src/engine/postgres/, and nothing in src/ outside a backend's folder
#     includes its headers but the engine's table of backends.
# Usage: cmake -DSOURCE_DIR=<tree> -P layering.cmake
set(class_layers dataaccess ocx customize api export)
set(include_regex "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")

# Every include of the files under `folders` (relative to SOURCE_DIR), as
# "file:line: path" in `out`.
function(collect_includes out)
  set(found "")
  foreach(folder IN LISTS ARGN)
    file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file IN LISTS files)
      file(STRINGS ${file} lines)
      file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
      set(number 0)
      foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(line MATCHES "${include_regex}")
          list(APPEND found "${name}:${number}: ${CMAKE_MATCH_1}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(faults "")

# Adds a fault for each include in the `layers` (their sources and public
# headers) of a header of the `forbidden` layers. A path is such a layer's
# when a folder of that name stands anywhere in it: <tarnwick/host/Form.h>,
# "../host/HostInternal.h".
function(forbid layers forbidden why)
  set(folders ${layers})
  list(TRANSFORM folders PREPEND src/)
  set(headers ${layers})
  list(TRANSFORM headers PREPEND include/tarnwick/)
  collect_includes(includes ${folders} ${headers})
  list(JOIN forbidden "|" alternatives)
  foreach(entry IN LISTS includes)
    if(entry MATCHES ": (.*/)?(${alternatives})/[^/]+$")
      list(APPEND faults "${entry}  (${why})")
    endif()
  endforeach()
  set(faults "${faults}" PARENT_SCOPE)
  list(LENGTH includes count)
  math(EXPR checked "${checked} + ${count}")
  set(checked ${checked} PARENT_SCOPE)
endfunction()

set(checked 0)
forbid("${class_layers}" "engine;host;qt" "the classes reach the engine and the hosts only by name")
forbid(qt engine "the Qt host reaches records only by name")

collect_includes(all_includes src include)
foreach(entry IN LISTS all_includes)
  if(entry MATCHES ": (.*/)?sqlite3\\.h$" AND NOT entry MATCHES "^src/engine/sqlite/")
    list(APPEND faults "${entry}  (SQLite is the file backend's own)")
  endif()
  if(entry MATCHES ": (.*/)?libpq-fe\\.h$" AND NOT entry MATCHES "^src/engine/postgres/")
    list(APPEND faults "${entry}  (libpq is the server backend's own)")
  endif()
  # A backend's headers are its own: the engine above reaches it through the
  # storage interface and the dialect, and one backend never uses another.
  # Only the table of backends (src/engine/Backends.cpp) names them.
  foreach(backend sqlite postgres)
    if(entry MATCHES ": (.*/)?${backend}/[^/]+$" AND NOT entry MATCHES "^src/engine/${backend}/"
       AND NOT entry MATCHES "^src/engine/Backends\\.cpp:")
      list(APPEND faults "${entry}  (the ${backend} backend is reached only through the storage interface)")
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes across the layers:\n  ${text}")
endif()
list(LENGTH all_includes count)
message(STATUS "layering: ${checked} includes of the classes and the Qt host, ${count} of the library checked")
