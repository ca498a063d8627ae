# delay_import(TARGET DLL IMPORT_LIBRARY): an imported library TARGET that binds the functions of
# DLL, as the toolchain's IMPORT_LIBRARY lists them, at their first call instead of at the
# program's start, so that DLL is not in the program's import table. Made when CMake configures.
function(delay_import target dll import_library)
    execute_process(COMMAND ${CMAKE_NM} ${import_library} OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I __imp_[A-Za-z0-9_]+" functions "${symbols}")
    list(TRANSFORM functions REPLACE " I __imp_" "")
    list(REMOVE_DUPLICATES functions)
    list(JOIN functions "\n" exports)
    set(def ${CMAKE_BINARY_DIR}/delay-import/${target}.def)
    set(library ${CMAKE_BINARY_DIR}/delay-import/lib${target}.a)
    # Rewritten only when the list changes, so that a new configure relinks nothing.
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
    if(NOT EXISTS ${library} OR ${def} IS_NEWER_THAN ${library})
        execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}
                                --output-delaylib ${library}
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()
    add_library(${target} STATIC IMPORTED)
    set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${library})
endfunction()
