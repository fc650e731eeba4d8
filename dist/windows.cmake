# The Windows archive: kestra.exe with its data, README and licences in one folder;
# `cpack -G ZIP` in the cross build folder makes kestra-<version>-win64.zip, and `cpack -G NSIS` (Debian's
# nsis package) an installer of the same files, kestra-<version>-win64.exe, with a Start-menu entry and
# an uninstaller.
install(TARGETS kestra RUNTIME DESTINATION .)
install(DIRECTORY ${KESTRA_RUN_DIR}/Data/ DESTINATION Data FILES_MATCHING PATTERN "*.bmp")
install(FILES ${KESTRA_RUN_DIR}/Data/Terminal8.tga DESTINATION data)
install(FILES ${KESTRA_RUN_DIR}/city.map DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE font-notice.txt DESTINATION .)

set(CPACK_PACKAGE_NAME kestra)
set(CPACK_PACKAGE_VENDOR "The Kestra developers")
set(CPACK_PACKAGE_FILE_NAME kestra-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kestra)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Kestra)
set(CPACK_PACKAGE_EXECUTABLES kestra Kestra)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# A 64-bit installer for a 64-bit program (and one that a wine without 32-bit support runs).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
include(CPack)
