# cmake -DEXE=<program> -DPHONESIM=<phonesim.exe> -DVEXELCTL=<vexelctl.exe>
#       -DHELP=<Help.chm> -DSOURCE=<packaging folder> -DSTAGE=<folder>
#       -DSYMBOLS=<folder> -DOBJCOPY=<objcopy> -P Stage.cmake
# Gathers the files of the packages in a fresh folder: the programs without
# their debug information, whose symbols go into SYMBOLS/<name>.debug (kept
# out of the packages; each program names its file in .gnu_debuglink, for a
# debugger), and the text files with Windows line ends.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/Examples ${STAGE}/Tools ${SYMBOLS})
foreach(pair "${EXE}|Vexel.exe" "${PHONESIM}|Tools/phonesim.exe" "${VEXELCTL}|Tools/vexelctl.exe")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  get_filename_component(name ${to} NAME)
  set(symbols ${SYMBOLS}/${name}.debug)
  execute_process(COMMAND ${OBJCOPY} --only-keep-debug ${from} ${symbols}
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${OBJCOPY} --strip-all --add-gnu-debuglink=${symbols} ${from}
    ${STAGE}/${to} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
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
