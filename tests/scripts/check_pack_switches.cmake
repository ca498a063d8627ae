# pack's switches: each format and level packs a folder that lists back in that format, and every
# malformed command line is refused with the usage exit code before anything is written.
set(out ${WORK}/switches.dat)
file(MAKE_DIRECTORY ${WORK})

function(pack_ok format)
    file(REMOVE ${out})
    execute_process(COMMAND ${PACK} ${FOLDER} ${out} ${ARGN} RESULT_VARIABLE rc
                    OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "pack ${ARGN} failed (${rc}): ${err}")
    endif()
    execute_process(COMMAND ${PACK} --list ${out} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT listing MATCHES "\nformat ${format}: ")
        message(FATAL_ERROR "pack ${ARGN} did not list as format ${format} (${rc}):\n${listing}")
    endif()
endfunction()

pack_ok(2)
pack_ok(2 --fast)
pack_ok(2 --format 2 --block-size 1 --last vivevadiz.exe)
pack_ok(2 --block-size 64 --fast --format 2)
pack_ok(1 --format 1 --last vivevadiz.exe)

foreach(bad "--format;3" "--format;" "--block-size;0" "--block-size;65" "--block-size;4x"
        "--block-size;-1" "--block-size;008" "--fast;--fast" "--format;1;--fast"
        "--format;1;--block-size;2" "--format;2;--format;2" "--last" "--speedy")
    file(REMOVE ${out})
    execute_process(COMMAND ${PACK} ${FOLDER} ${out} ${bad} RESULT_VARIABLE rc
                    OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 2 OR EXISTS ${out})
        message(FATAL_ERROR "pack ${bad} was not refused as a usage error (${rc})")
    endif()
endforeach()
