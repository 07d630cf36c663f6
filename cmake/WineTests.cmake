# The Windows build's tests run under wine, on a prefix of the build's own
# (${CMAKE_BINARY_DIR}/wine-prefix), through the script wine-run that this writes beside it: CTest
# and gtest_discover_tests run every test program through it (CMAKE_CROSSCOMPILING_EMULATOR).
# Included before any target is made, so that every target takes the emulator.

find_program(TARNVEX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TARNVEX_WINE NAMES wine64 wine)
find_program(TARNVEX_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TARNVEX_WINESERVER NAMES wineserver)

if(NOT TARNVEX_WINE OR NOT TARNVEX_WINESERVER)
  message(WARNING "wine was not found: the Windows tests build, but CTest cannot run them")
  return()
endif()

set(TARNVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# Seconds the prefix's wine server stays up without programs.
set(TARNVEX_WINE_IDLE 600)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
