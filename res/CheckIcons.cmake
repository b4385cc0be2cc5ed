# cmake -DPYTHON=<python3> -DGENERATOR=<make_icons.py> -DDRAWN=<scratch folder>
#       "-DEXPECTED=<committed files>" -P CheckIcons.cmake
# Draws the icons and pictures into a scratch folder and compares them with
# the committed ones, which the build uses.
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${DRAWN} ${DRAWN} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "make_icons.py failed: ${failed}")
endif()
set(stale)
foreach(committed ${EXPECTED})
  get_filename_component(name ${committed} NAME)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${committed} ${DRAWN}/${name}
    RESULT_VARIABLE differs)
  if(differs)
    list(APPEND stale ${committed})
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "Not what make_icons.py draws: ${stale}\nBuild the target 'icons' and commit.")
endif()
