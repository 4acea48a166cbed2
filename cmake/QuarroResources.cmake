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
