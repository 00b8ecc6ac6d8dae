# install-desktop-entry.cmake: writes the desktop entry at install time, when
# the prefix is known, naming where the game and its data lie under it.
# Set before it: ZUMBREL_GAMES_DIR, ZUMBREL_DATA_INSTALL_DIR, the template
# ENTRY_TEMPLATE, the folder ENTRY_BUILD_DIR to write it in and its file
# name ENTRY_NAME.

# Exec's program is one quoted argument, as the desktop entry standard
# says, so that any path, blanks included, runs: inside the quotes \ " ` $
# take a backslash, which the file's own escaping doubles; % is doubled.
set(program "${CMAKE_INSTALL_PREFIX}/${ZUMBREL_GAMES_DIR}/zumbrel")
string(REPLACE [[\]] [[\\\\]] program "${program}")
foreach(special [["]] [[`]] [[$]])
  string(REPLACE "${special}" "\\\\${special}" program "${program}")
endforeach()
string(REPLACE "%" "%%" program "${program}")
set(ZUMBREL_PROGRAM "\"${program}\"")
# Path is a plain string: only a backslash is escaped.
string(REPLACE [[\]] [[\\]] ZUMBREL_DATA "${CMAKE_INSTALL_PREFIX}/${ZUMBREL_DATA_INSTALL_DIR}")

configure_file("${ENTRY_TEMPLATE}" "${ENTRY_BUILD_DIR}/${ENTRY_NAME}" @ONLY)
file(INSTALL "${ENTRY_BUILD_DIR}/${ENTRY_NAME}"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
