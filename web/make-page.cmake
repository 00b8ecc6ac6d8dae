# make-page.cmake: writes the page: its bundled script, the tools' worker's
# as text for the worker, and the icon.
#   cmake -DTEMPLATE=zumbrel.html.in -DTOOLS=worker.js -DPAGE=page.js
#         -DICON=zumbrel.svg -DVERSION=0.1 -DOUTPUT=zumbrel.html -P make-page.cmake
cmake_minimum_required(VERSION 3.16)

# The script, checked to stand inside an element.
function(read_script name variable)
  file(READ ${name} script)
  # A script may not hold the text that closes its element, in any case,
  # nor the one that would make the parser look for another.
  string(TOLOWER "${script}" lower)
  string(FIND "${lower}" "</script" closing)
  string(FIND "${lower}" "<!--" opening)
  if(NOT closing EQUAL -1 OR NOT opening EQUAL -1)
    message(FATAL_ERROR "${name} holds </script or <!-- and cannot be written into the page")
  endif()
  set(${variable} "${script}" PARENT_SCOPE)
endfunction()

file(READ ${TEMPLATE} page)
read_script("${TOOLS}" tools)
read_script("${PAGE}" scripts)
file(READ ${ICON} icon HEX)
# The icon as a data address, each byte escaped.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "%\\1" icon "${icon}")
string(REPLACE "@ICON@" "data:image/svg+xml,${icon}" page "${page}")
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@TOOLS@" "${tools}" page "${page}")
string(REPLACE "@PAGE@" "${scripts}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
