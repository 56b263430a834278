# Runs the tour of the Orders front end into a fresh folder and checks that
# it succeeded and left four screenshots that are real pictures.
#   cmake -DORDERS=path/to/orders -DFOLDER=scratch -P tour_test.cmake
file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})
execute_process(
  COMMAND ${ORDERS} --data ${FOLDER}/data --tour ${FOLDER}/shots
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
message("${output}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the tour ended with ${result}")
endif()
foreach(shot search-form view-form edit-form customised)
  set(png ${FOLDER}/shots/${shot}.png)
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "${shot}.png is missing")
  endif()
  file(SIZE ${png} bytes)
  # A PNG of an empty or blank window is a few hundred bytes; a form with text is many thousand.
  if(bytes LESS 5000)
    message(FATAL_ERROR "${shot}.png holds ${bytes} bytes: no form in it")
  endif()
  file(READ ${png} signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${shot}.png is no PNG file")
  endif()
endforeach()
foreach(file orders.db Captions.ini IniTips.ini ColWidths.ini defaults.ini)
  if(NOT EXISTS ${FOLDER}/data/${file})
    message(FATAL_ERROR "the data folder has no ${file}")
  endif()
endforeach()

# Without --data the tour must leave the user's own data alone: it works in a
# temporary folder, which is gone afterwards, and the user's data folder is
# never made.
set(home ${FOLDER}/home)
file(MAKE_DIRECTORY ${home})
set(scratch ${FOLDER}/tmp)
file(MAKE_DIRECTORY ${scratch})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env HOME=${home} XDG_DATA_HOME=${home}/data TMPDIR=${scratch}
          ${ORDERS} --tour ${FOLDER}/shots-fresh
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the tour without --data ended with ${result}:\n${output}${errors}")
endif()
if(NOT output MATCHES "a fresh sample database in ${scratch}/")
  message(FATAL_ERROR "the tour without --data did not say where it worked:\n${output}")
endif()
file(GLOB_RECURSE left ${home}/* ${scratch}/*)
if(left)
  message(FATAL_ERROR "the tour without --data left files behind: ${left}")
endif()
if(NOT EXISTS ${FOLDER}/shots-fresh/customised.png)
  message(FATAL_ERROR "the tour without --data saved no screenshots")
endif()
