# One warning set for every target of the project.
function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough)
  # gcc 12 at -O3 reports overlapping copies inside std::string's own
  # concatenation that cannot happen (a known false positive of its
  # -Wrestrict); the check stays on for every other compiler.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(TARNWICK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
