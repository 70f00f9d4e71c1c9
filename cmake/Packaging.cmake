# What a Linux installation gets besides the binaries, and the packages that carry it all: man
# pages made from the tools' own --help and --version, bash completion, and with CPack a .deb
# (cpack -G DEB, dependencies from dpkg-shlibdeps) or a .tar.gz (cpack -G TGZ).

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
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${documentation})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${documentation})

set(CPACK_PACKAGE_NAME zephlor)
set(CPACK_PACKAGE_VENDOR "Zephlor")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "codec, host driver plug-in and tools for Zephlor controllers")
set(CPACK_PACKAGE_DESCRIPTION
    "The wirelex codec builds the Zephlor controller's request lines and parses its\n\
replies; the osterfell plug-in is the driver a host application loads;\n\
zephlorctl commissions a controller line through that driver, and\n\
zephlor-sim simulates a controller.")
set(CPACK_PACKAGE_CONTACT "Zephlor host driver team <driver@zephlor.example>")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR TGZ)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
