# cmake -DCHMCMD=... -DENUM_CHMLIB=... -DSOURCE=<help folder> -DWORK=<scratch folder>
#       -DOUTPUT=<Help.chm to write> -P BuildHelp.cmake
#
# chmcmd exits with 0 for many broken projects (a missing table of contents,
# a link to a missing page) and leaves an empty file when a listed page is
# missing. So this compiles in a scratch copy of the sources, takes any
# warning or error in chmcmd's output as a failure, and checks the result:
# a CHM file (it starts with "ITSF") that holds every file of the help
# folder and every page that the contents and the index point to.
file(REMOVE ${OUTPUT})
file(REMOVE_RECURSE ${WORK})
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*.html ${SOURCE}/*.css ${SOURCE}/*.png)
foreach(name ${files} Help.hhp Toc.hhc Index.hhk)
  configure_file(${SOURCE}/${name} ${WORK}/${name} COPYONLY)
endforeach()

execute_process(COMMAND ${CHMCMD} Help.hhp WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed OR log MATCHES "Warning|Error|Can't")
  message(FATAL_ERROR "chmcmd failed (exit ${failed}):\n${log}")
endif()

file(READ ${WORK}/Help.chm magic LIMIT 4 HEX)
if(NOT magic STREQUAL "49545346")  # "ITSF"
  message(FATAL_ERROR "chmcmd wrote no CHM file:\n${log}")
endif()

# Every file of the folder, and every page named by the contents and the index.
set(expected ${files})
foreach(sitemap Toc.hhc Index.hhk)
  file(STRINGS ${SOURCE}/${sitemap} lines REGEX "name=\"Local\"")
  foreach(line ${lines})
    string(REGEX REPLACE ".*name=\"Local\" value=\"([^\"]*)\".*" "\\1" page "${line}")
    list(APPEND expected ${page})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES expected)

execute_process(COMMAND ${ENUM_CHMLIB} ${WORK}/Help.chm
  RESULT_VARIABLE failed OUTPUT_VARIABLE listing)
if(failed)
  message(FATAL_ERROR "enum_chmLib cannot read Help.chm")
endif()
set(missing)
foreach(name ${expected})
  string(FIND "${listing}" "/${name}\n" at)
  if(at EQUAL -1)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "Help.chm lacks: ${missing}")
endif()

file(COPY_FILE ${WORK}/Help.chm ${OUTPUT})
