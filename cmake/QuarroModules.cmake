# quarro_tab_module(<target> OUTPUT_NAME <name> RC <file.rc> SOURCES <...> [LIBS <...>] [TEST])
# A tab module: Facet01.dll ... on Windows (undecorated __stdcall exports through the shared
# .def file), lib<name>.so natively. Product modules are staged with the programs in bin/; TEST
# modules go to testmodules/, from where tests copy them into folders of their own.
function(quarro_tab_module target)
  cmake_parse_arguments(M "TEST" "OUTPUT_NAME;RC" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
  add_library(${target} SHARED ${M_SOURCES})
  target_link_libraries(${target} PRIVATE quarro_tabframe ${M_LIBS})
  target_compile_definitions(${target} PRIVATE ${M_DEFINITIONS})
  set(outdir ${CMAKE_BINARY_DIR}/bin)
  if(M_TEST)
    set(outdir ${CMAKE_BINARY_DIR}/testmodules)
  endif()
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tabframe/facet.def)
    # i686 decorates __stdcall names (InitTabDLL@4); the viewer looks them up undecorated.
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${M_OUTPUT_NAME}
      RUNTIME_OUTPUT_DIRECTORY ${outdir})
  else()
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${M_OUTPUT_NAME}
      CXX_VISIBILITY_PRESET hidden LIBRARY_OUTPUT_DIRECTORY ${outdir})
  endif()
  quarro_string_table(${target} ${M_RC})
endfunction()
