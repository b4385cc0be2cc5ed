# cmake -DPYTHON=... -DSOURCE=<res folder> -DDRAWN=<scratch folder> -DICONS=<names> -P CheckIcons.cmake
# Draws the icons into a scratch folder and compares them with the ones in
# the repository, which the build uses.
execute_process(COMMAND ${PYTHON} ${SOURCE}/make_icons.py ${DRAWN} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "make_icons.py failed: ${failed}")
endif()
set(stale)
foreach(icon ${ICONS})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE}/${icon} ${DRAWN}/${icon}
    RESULT_VARIABLE differs)
  if(differs)
    list(APPEND stale ${icon})
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "${stale}: not what make_icons.py draws; build the target 'icons' and commit")
endif()
