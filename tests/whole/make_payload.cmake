# Assembles the payload of setup_test.exe in OUT: the stand-in product that records its start
# (as vivevadiz.exe), the demo uninstaller, and many small files in nested folders, so that an
# installation lasts long enough to be interrupted.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(COPY_FILE ${RECORDER} ${OUT}/vivevadiz.exe)
file(COPY_FILE ${UNINSTALLER} ${OUT}/uninstall.exe)
file(WRITE ${OUT}/readme.txt "Test payload of the whole-program tests.\n")
string(REPEAT "payload line of a small data file\n" 24 body)
foreach(folder RANGE 1 40)
    foreach(file RANGE 1 60)
        file(WRITE ${OUT}/data/d${folder}/f${file}.txt "${folder}.${file}\n${body}")
    endforeach()
endforeach()
