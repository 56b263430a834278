# One warning set for every target of the project.
function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough)
  if(TARNWICK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
