# cmake -DBIN=<bin> -DSTAGE=<stage> -DSTRIP=<strip> -P stage.cmake
# The files the installer ships: the programs and modules of bin/, without their debugging
# information (the build keeps it in bin/ for the debugger).
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(GLOB shipped ${BIN}/*.exe ${BIN}/*.dll)
foreach(file IN LISTS shipped)
  get_filename_component(name ${file} NAME)
  execute_process(COMMAND ${STRIP} --strip-debug -o ${STAGE}/${name} ${file} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${file}")
  endif()
endforeach()
