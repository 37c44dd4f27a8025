# The Windows downloads: pakeno.exe stripped, in a zip with the read-me, and
# the NSIS installer. Built with everything else (target windows_package).
set(PACKAGE_NAME pakeno-${PROJECT_VERSION}-win64)
set(STAGE ${PROJECT_BINARY_DIR}/package/${PACKAGE_NAME})
set(PAKENO_WINDOWS_ZIP ${PROJECT_BINARY_DIR}/package/${PACKAGE_NAME}.zip)
set(PAKENO_WINDOWS_INSTALLER ${PROJECT_BINARY_DIR}/package/${PACKAGE_NAME}-setup.exe)
set(VERSION ${PROJECT_VERSION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/readme.txt.in ${STAGE}/readme.txt @ONLY NEWLINE_STYLE CRLF)
find_program(MAKENSIS makensis REQUIRED)
add_custom_command(OUTPUT ${PAKENO_WINDOWS_ZIP} ${PAKENO_WINDOWS_INSTALLER}
  COMMAND ${CMAKE_STRIP} -o ${STAGE}/pakeno.exe $<TARGET_FILE:pakeno>
  COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/package
          ${CMAKE_COMMAND} -E tar cf ${PAKENO_WINDOWS_ZIP} --format=zip ${PACKAGE_NAME}/pakeno.exe ${PACKAGE_NAME}/readme.txt
  COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=${STAGE}/pakeno.exe -DREADME=${STAGE}/readme.txt
          -DICON=${CMAKE_CURRENT_LIST_DIR}/pakeno.ico -DOUTFILE=${PAKENO_WINDOWS_INSTALLER}
          ${CMAKE_CURRENT_LIST_DIR}/installer.nsi
  DEPENDS pakeno ${CMAKE_CURRENT_LIST_DIR}/installer.nsi ${STAGE}/readme.txt
  COMMENT "Packing ${PACKAGE_NAME}.zip and ${PACKAGE_NAME}-setup.exe")
add_custom_target(windows_package ALL DEPENDS ${PAKENO_WINDOWS_ZIP} ${PAKENO_WINDOWS_INSTALLER})
