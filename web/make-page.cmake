# make-page.cmake: writes the page, with the game's script and the icon in it.
#   cmake -DTEMPLATE=zumbrel.html.in -DSCRIPT=zumbrel.js -DICON=zumbrel.svg
#         -DVERSION=0.1 -DOUTPUT=zumbrel.html -P make-page.cmake
cmake_minimum_required(VERSION 3.16)
file(READ ${TEMPLATE} page)
file(READ ${SCRIPT} script)
file(READ ${ICON} icon HEX)
# A script may not hold the text that closes its element, in any case.
string(TOLOWER "${script}" lower)
string(FIND "${lower}" "</script" closing)
if(NOT closing EQUAL -1)
  message(FATAL_ERROR "${SCRIPT} holds </script and cannot be written into the page")
endif()
# The icon as a data address, each byte escaped.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "%\\1" icon "${icon}")
string(REPLACE "@ICON@" "data:image/svg+xml,${icon}" page "${page}")
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@SCRIPT@" "${script}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
