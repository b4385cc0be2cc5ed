# cmake -DEXE=<program> -DHELP=<Help.chm> -DSOURCE=<packaging folder> -DSTAGE=<folder>
#       -P Stage.cmake
# Gathers the files of the packages in a fresh folder, the text files with
# Windows line ends.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/Examples)
file(COPY_FILE ${EXE} ${STAGE}/Vexel.exe)
file(COPY_FILE ${HELP} ${STAGE}/Help.chm)
foreach(pair "readme.txt|readme.txt" "SonyEricsson.km|Examples/SonyEricsson.km"
    "Media.km|Examples/Media.km")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ ${SOURCE}/${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${STAGE}/${to} "${text}")
endforeach()
