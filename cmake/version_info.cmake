# Version information of the three programs, written at build time from the product's identity in
# the string table; each program's resource script includes <program>_version.rc from GENERATED_DIR.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VERSION_INFO_FILES)
foreach(program_kind setup:installer vivevadiz:product uninstall:uninstaller)
    string(REPLACE ":" ";" program_kind ${program_kind})
    list(GET program_kind 0 program)
    list(GET program_kind 1 kind)
    set(output ${GENERATED_DIR}/${program}_version.rc)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/version_info.py
                ${RES_DIR}/strings.rc ${output} ${kind} ${program}.exe
        DEPENDS ${RES_DIR}/strings.rc ${CMAKE_CURRENT_LIST_DIR}/version_info.py
                ${CMAKE_CURRENT_LIST_DIR}/string_table.py
        COMMENT "Version information of ${program}.exe"
        VERBATIM)
    list(APPEND VERSION_INFO_FILES ${output})
endforeach()
# Resource scripts in other folders include these files too; the target orders them first.
add_custom_target(version_info DEPENDS ${VERSION_INFO_FILES})
