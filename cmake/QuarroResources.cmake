# quarro_string_table(<target> <file.rc>)
# Windows: the resource script is compiled into the target. Natively its string tables become a
# C++ table linked into that target only (tools/rc_strings.py), so the texts exist once.
function(quarro_string_table target rcfile)
  if(WIN32)
    target_sources(${target} PRIVATE ${rcfile})
  else()
    get_filename_component(name ${rcfile} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_strings.cpp)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(OUTPUT ${out}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/rc_strings.py ${rcfile} ${out}
      DEPENDS ${rcfile} ${CMAKE_SOURCE_DIR}/tools/rc_strings.py
      COMMENT "String table of ${target}")
    target_sources(${target} PRIVATE ${out})
  endif()
endfunction()

# quarro_version_info(<target> <description>)
# Windows: gives the program or module its version resource, made from the product's one version
# and copyright year (QUARRO_FILE_VERSION, QUARRO_COPYRIGHT_YEAR) and cmake/version_info.rc.in.
# A resource script of the target must not carry a VERSIONINFO of its own.
function(quarro_version_info target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(QUARRO_VERSION_FILETYPE VFT_APP)
    set(QUARRO_VERSION_FILENAME ${name}.exe)
  else()
    set(QUARRO_VERSION_FILETYPE VFT_DLL)
    set(QUARRO_VERSION_FILENAME ${name}.dll)
  endif()
  set(QUARRO_VERSION_INTERNAL ${name})
  set(QUARRO_VERSION_DESCRIPTION "${description}")
  string(REPLACE "." "," QUARRO_VERSION_COMMAS ${QUARRO_FILE_VERSION})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version_info.rc.in ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()
