# What a Linux installation gets besides the binaries: man pages made from the tools' own --help
# and --version, bash completion, the copyright and changelog; and the relocatable .tar.gz.

# Man pages: help2man runs the tools just built, so a page never says other than --help.
find_program(HELP2MAN help2man REQUIRED)
set(man_pages)
foreach(tool zephlorctl zephlor-sim)
  set(page ${CMAKE_BINARY_DIR}/man/${tool}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
            --include=${PROJECT_SOURCE_DIR}/packaging/${tool}.h2m --output=${page}
            $<TARGET_FILE:${tool}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${tool} ${PROJECT_SOURCE_DIR}/packaging/${tool}.h2m
    COMMENT "Man page of ${tool}")
  list(APPEND man_pages ${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

foreach(tool zephlorctl zephlor-sim)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/zephlor.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${tool})
endforeach()

# Debian wants the copyright and a compressed changelog in the package's documentation folder.
set(documentation ${CMAKE_INSTALL_DATADIR}/doc/zephlor)
install(FILES ${PROJECT_SOURCE_DIR}/debian/copyright DESTINATION ${documentation})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/debian/changelog)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${documentation})

# CPack makes the relocatable archive (cpack -G TGZ), named with its architecture; the Debian
# packages come from debian/ (dpkg-buildpackage).
set(CPACK_PACKAGE_NAME zephlor)
set(CPACK_PACKAGE_VENDOR "Zephlor")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "codec, host driver plug-in and tools for Zephlor controllers")
set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR TGZ)
include(CPack)
