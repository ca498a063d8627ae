# Assembles the payload of setup_test.exe in OUT: the stand-in product that records its start
# (as vivevadiz.exe), the demo uninstaller, and many small files in nested folders, so that an
# installation lasts long enough to be interrupted. With VERSION 2 it is the next version of that
# product: the files of the first ten folders change, a folder and a top folder with subfolders
# come new, a file comes new at the top, version 1's file at the top and folder with a subfolder
# are gone, and everything else is the same byte for byte. With LARGE it also has large.bin, of
# 2 MiB, larger than the writers' pool copies.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(COPY_FILE ${RECORDER} ${OUT}/vivevadiz.exe)
file(COPY_FILE ${UNINSTALLER} ${OUT}/uninstall.exe)
file(WRITE ${OUT}/readme.txt "Test payload of the whole-program tests.\n")
string(REPEAT "payload line of a small data file\n" 24 body)
foreach(folder RANGE 1 40)
    set(mark "")
    if(VERSION EQUAL 2 AND folder LESS_EQUAL 10)
        set(mark "v2 ")
    endif()
    foreach(file RANGE 1 60)
        file(WRITE ${OUT}/data/d${folder}/f${file}.txt "${mark}${folder}.${file}\n${body}")
    endforeach()
endforeach()
if(VERSION EQUAL 2)
    file(WRITE ${OUT}/changes.txt "What version 2 changes.\n")
    foreach(file RANGE 1 20)
        file(WRITE ${OUT}/data/d41/f${file}.txt "41.${file}\n${body}")
        file(WRITE ${OUT}/plugins/p${file}/plugin.dll "plugin ${file}\n${body}")
    endforeach()
endif()
if(NOT VERSION EQUAL 2)
    file(WRITE ${OUT}/legacy.dll "a library version 2 no longer has\n${body}")
    file(WRITE ${OUT}/old/o1.txt "dropped 1\n${body}")
    file(WRITE ${OUT}/old/deep/o2.txt "dropped 2\n${body}")
endif()
if(LARGE)
    string(REPEAT "large file of the payload with injected faults\n" 43691 large)
    file(WRITE ${OUT}/large.bin "${large}")
endif()
