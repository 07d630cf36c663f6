# The README's example on Windows: a store of 200 contacts written by the Linux build's
# tarnvex-pstgen, exported by
#   wine tarnvex-export.exe --no-outlook --pst demo.pst --out C:\cards
# from the store's folder, gives one card per contact in C:\cards of the build's wine prefix.
#   cmake -DWINE_RUN=... -DPROGRAM=... -DSTORES=... -DDRIVE_C=... -P demo_export.cmake
file(REMOVE_RECURSE ${DRIVE_C}/cards)
file(MAKE_DIRECTORY ${DRIVE_C}/cards)
execute_process(COMMAND ${WINE_RUN} ${PROGRAM} --no-outlook --pst demo.pst --out C:\\cards
                WORKING_DIRECTORY ${STORES}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}\n${out}${err}")
endif()
if(NOT out STREQUAL "Done.\n200 cards written, 4 items passed over, 0 failures\n")
  message(FATAL_ERROR "unexpected output:\n${out}${err}")
endif()
file(GLOB cards LIST_DIRECTORIES false ${DRIVE_C}/cards/*.vcf)
list(LENGTH cards count)
if(NOT count EQUAL 200)
  message(FATAL_ERROR "${count} cards in C:\\cards, not 200")
endif()
file(REMOVE_RECURSE ${DRIVE_C}/cards)
