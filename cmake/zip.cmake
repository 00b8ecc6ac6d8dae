# zip.cmake: CPack's settings for a zip of one folder, zumbrel-VERSION-SUFFIX.
macro(zumbrel_zip suffix)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME zumbrel)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME zumbrel-${PROJECT_VERSION}-${suffix})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endmacro()
