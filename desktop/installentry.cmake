# Writes the desktop entry at install time with Exec naming the installed program by its full
# path: a desktop hides an entry whose program it cannot find on its PATH, and the folder a user
# installs into (~/.local/bin) is on PATH only from a login after it was made.
set(bindir "${PAFURO_BINDIR}")
if(NOT IS_ABSOLUTE "${bindir}")
    set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
endif()
set(PAFURO_PROGRAM "${bindir}/pafuro")
# A path with a character that the entry's command line reserves is quoted, its \ " ` $ escaped
# once for the command line and every backslash once more for the entry's string.
if(PAFURO_PROGRAM MATCHES "[ \t\n\"'\\><~|&;$*?#()`]")
    string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" PAFURO_PROGRAM "${PAFURO_PROGRAM}")
    string(REPLACE "\\" "\\\\" PAFURO_PROGRAM "${PAFURO_PROGRAM}")
    set(PAFURO_PROGRAM "\"${PAFURO_PROGRAM}\"")
endif()
configure_file("${PAFURO_ENTRY_IN}" "${PAFURO_ENTRY}" @ONLY)
file(INSTALL "${PAFURO_ENTRY}" DESTINATION "${CMAKE_INSTALL_PREFIX}/${PAFURO_DATADIR}/applications")
