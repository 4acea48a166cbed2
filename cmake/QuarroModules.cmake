# quarro_tab_module(<target> OUTPUT_NAME <name> RC <file.rc> SOURCES <...> [WIN32_SOURCES <...>]
#                   [LIBS <...>] [DEFINITIONS <...>] [TEST])
# A tab module: Facet01.dll ... on Windows (undecorated __stdcall exports through the shared
# .def file), lib<name>.so natively. WIN32_SOURCES (the module's page) are built on Windows only.
# Product modules are staged with the programs in bin/; TEST modules go to testmodules/, from
# where tests copy them into folders of their own.
#
# Every module is recorded for the tests, which find the modules from these lists rather than by
# name: the global properties QUARRO_TAB_MODULES (product module targets, in the order they were
# added) with QUARRO_TAB_MODULE_LIBS (the libraries they link), and QUARRO_TEST_TAB_MODULES.
function(quarro_tab_module target)
  cmake_parse_arguments(M "TEST" "OUTPUT_NAME;RC" "SOURCES;WIN32_SOURCES;LIBS;DEFINITIONS" ${ARGN})
  add_library(${target} SHARED ${M_SOURCES})
  target_link_libraries(${target} PRIVATE quarro_tabframe ${M_LIBS})
  target_compile_definitions(${target} PRIVATE ${M_DEFINITIONS})
  set(outdir ${CMAKE_BINARY_DIR}/bin)
  if(M_TEST)
    set(outdir ${CMAKE_BINARY_DIR}/testmodules)
    set_property(GLOBAL APPEND PROPERTY QUARRO_TEST_TAB_MODULES ${target})
  else()
    set_property(GLOBAL APPEND PROPERTY QUARRO_TAB_MODULES ${target})
    set_property(GLOBAL APPEND PROPERTY QUARRO_TAB_MODULE_LIBS ${M_LIBS})
  endif()
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tabframe/facet.def ${M_WIN32_SOURCES})
    # i686 decorates __stdcall names (InitTabDLL@4); the viewer looks them up undecorated.
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${M_OUTPUT_NAME}
      RUNTIME_OUTPUT_DIRECTORY ${outdir})
  else()
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${M_OUTPUT_NAME}
      CXX_VISIBILITY_PRESET hidden LIBRARY_OUTPUT_DIRECTORY ${outdir})
  endif()
  quarro_string_table(${target} ${M_RC})
  if(NOT M_TEST)
    quarro_version_info(${target} "Quarro ${M_OUTPUT_NAME} page")
  endif()
endfunction()

# quarro_tab_library(<target> <sources...>)
# The portable part of a tab module (its data and report), as a static library that the module
# and the tests link (the tests link every such library, see QUARRO_TAB_MODULE_LIBS).
function(quarro_tab_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC quarro_tabframe quarro_common)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
