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
