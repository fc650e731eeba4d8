# The Windows archive: kestra.exe with its data, README and licences in one folder;
# `cpack -G ZIP` in the cross build folder makes kestra-<version>-win64.zip.
install(TARGETS kestra RUNTIME DESTINATION .)
install(DIRECTORY ${KESTRA_RUN_DIR}/Data/ DESTINATION Data FILES_MATCHING PATTERN "*.bmp")
install(FILES ${KESTRA_RUN_DIR}/Data/Terminal8.tga DESTINATION data)
install(FILES ${KESTRA_RUN_DIR}/city.map DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE font-notice.txt DESTINATION .)

set(CPACK_PACKAGE_NAME kestra)
set(CPACK_PACKAGE_VENDOR "The Kestra developers")
set(CPACK_PACKAGE_FILE_NAME kestra-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
