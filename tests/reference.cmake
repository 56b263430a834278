# The reference under docs/: each page's C++ examples are built and run.
# A block that holds `int main(` is a whole program; every other block of a
# page is a short example, run as the body of `run()` of a class derived from
# the `Example` of docs/README.md's setup block, each in a folder of its own.
# A page's short examples make one program, reference_<page>.
set(reference_dir ${PROJECT_SOURCE_DIR}/docs)
file(GLOB reference_pages ${reference_dir}/*.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${reference_pages})
set(reference_out ${CMAKE_CURRENT_BINARY_DIR}/reference)

# The blocks of one language (cpp, python) of a Markdown text, into
# <prefix>_count and <prefix>_<n>.
function(markdown_blocks text language prefix)
  set(n 0)
  set(fence "```${language}\n")
  string(LENGTH "${fence}" fence_length)
  while(TRUE)
    string(FIND "${text}" "${fence}" start)
    if(start EQUAL -1)
      break()
    endif()
    math(EXPR start "${start} + ${fence_length}")
    string(SUBSTRING "${text}" ${start} -1 text)
    string(FIND "${text}" "```" end)
    string(SUBSTRING "${text}" 0 ${end} code)
    string(SUBSTRING "${text}" ${end} -1 text)
    math(EXPR n "${n} + 1")
    set(${prefix}_${n} "${code}" PARENT_SCOPE)
  endwhile()
  set(${prefix}_count ${n} PARENT_SCOPE)
endfunction()

function(reference_program target source)
  add_executable(${target} ${source})
  tarnwick_warnings(${target})
  target_include_directories(${target} PRIVATE ${reference_out})
  target_link_libraries(${target} PRIVATE tarnwick)
  file(MAKE_DIRECTORY ${reference_out}/${target}-run)
  add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${reference_out}/${target}-run)
  set_tests_properties(${target} PROPERTIES ENVIRONMENT
"QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()

file(READ ${reference_dir}/README.md index_text)
markdown_blocks("${index_text}" cpp setup)
string(FIND "${setup_1}" "// The examples' setup." is_setup)
if(NOT is_setup EQUAL 0)
  message(FATAL_ERROR "docs/README.md: its first C++ block must be the examples' setup")
endif()
file(GENERATE OUTPUT ${reference_out}/ExampleSetup.h CONTENT "#pragma once\n${setup_1}")

foreach(page IN LISTS reference_pages)
  get_filename_component(name ${page} NAME_WE)
  string(MAKE_C_IDENTIFIER "${name}" name)
  file(READ ${page} text)
  markdown_blocks("${text}" cpp block)
  set(examples "")
  set(runs "")
  set(count 0)
  foreach(n RANGE 1 ${block_count})
    if(block_count EQUAL 0 OR (name STREQUAL "README" AND n EQUAL 1))
      continue()
    endif()
    string(FIND "${block_${n}}" "int main(" whole)
    if(NOT whole EQUAL -1)
      set(target reference_${name}_program_${n})
      file(GENERATE OUTPUT ${reference_out}/${target}.cpp CONTENT "${block_${n}}")
      reference_program(${target} ${reference_out}/${target}.cpp)
      continue()
    endif()
    math(EXPR count "${count} + 1")
    string(APPEND examples "struct Example${count} : Example {\n  void run();\n};\nvoid Example${count}::run() {\n${block_${n}}}\n\n")
    string(APPEND runs "  failed += runExample<Example${count}>(${count});\n")
  endforeach()
  if(count GREATER 0)
    set(target reference_${name})
    file(GENERATE OUTPUT ${reference_out}/${target}.cpp CONTENT
"// The short examples of docs/${name}.md, as the reference shows them.
#include \"ExampleSetup.h\"

#include <cstdio>
#include <cstdlib>
#include <exception>

${examples}
template <class E>
int runExample(int n) {
  static const std::filesystem::path base = std::filesystem::current_path();
  const std::filesystem::path folder = base / (\"example-\" + std::to_string(n));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / \"windows\");
  std::filesystem::create_directories(folder / \"system\");
  std::filesystem::current_path(folder);
  // Each example's settings and system folders are its own.
  ::setenv(\"TARNWICK_WINDOWS_DIR\", (folder / \"windows\").c_str(), 1);
  ::setenv(\"TARNWICK_SYSTEM_DIR\", (folder / \"system\").c_str(), 1);
  try {
    E().run();
    std::printf(\"${name}.md example %d: ok\\n\", n);
    return 0;
  } catch (const Error& e) {
    std::printf(\"${name}.md example %d: error %d: %s\\n\", n, static_cast<int>(e.number()), toUtf8(e.message()).c_str());
  } catch (const std::exception& e) {
    std::printf(\"${name}.md example %d: %s\\n\", n, e.what());
  }
  return 1;
}

int main() {
  int failed = 0;
${runs}  return failed == 0 ? 0 : 1;
}
")
    reference_program(${target} ${reference_out}/${target}.cpp)
  endif()
endforeach()

# Every routine and member has its entry.
target_sources(tarnwick_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Reference_test.cpp)
target_compile_definitions(tarnwick_tests PRIVATE TARNWICK_DOCS_DIR="${reference_dir}" TARNWICK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# The README's C++ blocks, each a whole program, built as written and run
# (a block that waits for its user in QApplication::exec is only built,
# unless it can save a picture of its window: it is run offscreen on the
# front end's search form; one that uses the Qt host is there when the Qt
# host is built).
file(READ ${PROJECT_SOURCE_DIR}/README.md readme_text)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
markdown_blocks("${readme_text}" cpp readme)
foreach(n RANGE 1 ${readme_count})
  if(readme_count EQUAL 0)
    break()
  endif()
  set(block_code "${readme_${n}}")
  string(FIND "${block_code}" "tarnwick/qt/" uses_qt)
  if(NOT uses_qt EQUAL -1 AND NOT TARGET tarnwick_qt)
    continue()
  endif()
  set(block_target readme_block_${n})
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/readme/${block_target}.cpp CONTENT "${block_code}")
  add_executable(${block_target} ${CMAKE_CURRENT_BINARY_DIR}/readme/${block_target}.cpp)
  tarnwick_warnings(${block_target})
  target_link_libraries(${block_target} PRIVATE tarnwick)
  if(NOT uses_qt EQUAL -1)
    target_link_libraries(${block_target} PRIVATE tarnwick_qt Qt6::Widgets)
  endif()
  string(FIND "${block_code}" "QApplication::exec" waits)
  string(FIND "${block_code}" "grab().save(" saves)
  # Each in a folder of its own, for the files it makes.
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/readme/${block_target}-run)
  if(waits EQUAL -1)
    add_test(NAME ${block_target} COMMAND ${block_target}
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/readme/${block_target}-run)
  elseif(NOT saves EQUAL -1)
    add_test(NAME ${block_target}
      COMMAND ${block_target} ${PROJECT_SOURCE_DIR}/apps/orders/forms/search.ui search.png
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/readme/${block_target}-run)
  else()
    continue()
  endif()
  set_tests_properties(${block_target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)
endforeach()

