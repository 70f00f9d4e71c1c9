# What a Linux installation gets besides the binaries: man pages made from the tools' own --help,
# bash completion, the gateway's systemd unit and example, the copyright and changelog; and the
# relocatable .tar.gz.

# The gateway's example configuration, and its systemd template unit (by default under the
# prefix; a distribution's package puts it where the system keeps units).
set(gateway_examples ${CMAKE_INSTALL_DATADIR}/doc/zephlor-gateway/examples)
set(gateway_examples_full ${CMAKE_INSTALL_FULL_DATADIR}/doc/zephlor-gateway/examples)
install(FILES ${PROJECT_SOURCE_DIR}/examples/gateway.yaml DESTINATION ${gateway_examples})
set(ZEPHLOR_SYSTEMD_UNIT_DIR lib/systemd/system CACHE PATH
    "Where the gateway's systemd unit is installed, relative to the prefix unless absolute")
add_executable(lasting_exit_statuses ${PROJECT_SOURCE_DIR}/packaging/lasting_exit_statuses.cpp)
target_link_libraries(lasting_exit_statuses PRIVATE zephlor_facts)
zephlor_warnings(lasting_exit_statuses)
set(unit ${CMAKE_BINARY_DIR}/zephlor-gateway@.service)
add_custom_command(
  OUTPUT ${unit}
  COMMAND ${CMAKE_COMMAND} -DSTATUSES_PROGRAM=$<TARGET_FILE:lasting_exit_statuses>
          -DTEMPLATE=${PROJECT_SOURCE_DIR}/packaging/zephlor-gateway@.service.in -DOUTPUT=${unit}
          -DCMAKE_INSTALL_FULL_BINDIR=${CMAKE_INSTALL_FULL_BINDIR}
          -P ${PROJECT_SOURCE_DIR}/packaging/configure_unit.cmake
  DEPENDS lasting_exit_statuses ${PROJECT_SOURCE_DIR}/packaging/zephlor-gateway@.service.in
          ${PROJECT_SOURCE_DIR}/packaging/configure_unit.cmake
  COMMENT "The gateway's systemd unit")
add_custom_target(gateway_unit ALL DEPENDS ${unit})
install(FILES ${unit} DESTINATION ${ZEPHLOR_SYSTEMD_UNIT_DIR})

# Man pages made from the tools' own --help by help2man, so a page never says other than the
# help: help_for_man.py puts the help's headings the way help2man reads sections. NAME, FILES and
# SEE ALSO come from a small include file per tool.
find_program(HELP2MAN help2man REQUIRED)
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(man_pages)
foreach(tool zephlorctl zephlor-sim zephlor-gateway)
  set(page ${CMAKE_BINARY_DIR}/man/${tool}.1)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${tool}.man.in ${CMAKE_BINARY_DIR}/man/${tool}.man
                 @ONLY)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${HELP2MAN} --no-info --include ${CMAKE_BINARY_DIR}/man/${tool}.man --output ${page}
            "${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/help_for_man.py $<TARGET_FILE:${tool}>"
    COMMAND gzip -9nf ${page}
    DEPENDS ${tool} ${CMAKE_BINARY_DIR}/man/${tool}.man
            ${PROJECT_SOURCE_DIR}/packaging/help_for_man.py
    COMMENT "Man page of ${tool}")
  list(APPEND man_pages ${page}.gz)
endforeach()
# The configuration's page, zephlor-gateway.yaml(5), from the gateway's key rows.
add_executable(gateway_yaml_man ${PROJECT_SOURCE_DIR}/packaging/gateway_yaml_man.cpp)
target_link_libraries(gateway_yaml_man PRIVATE zephlor_gateway_core)
zephlor_warnings(gateway_yaml_man)
set(yaml_page ${CMAKE_BINARY_DIR}/man/zephlor-gateway.yaml.5)
add_custom_command(
  OUTPUT ${yaml_page}.gz
  COMMAND gateway_yaml_man ${PROJECT_VERSION} > ${yaml_page}
  COMMAND gzip -9nf ${yaml_page}
  DEPENDS gateway_yaml_man
  COMMENT "Man page of zephlor-gateway.yaml")
add_custom_target(man_pages ALL DEPENDS ${man_pages} ${yaml_page}.gz)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${yaml_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

# One completion file for the three tools: bash-completion looks it up by the command's name, so
# zephlor-sim's and zephlor-gateway's are links to zephlorctl's.
set(completions ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/zephlor.bash-completion DESTINATION ${completions}
        RENAME zephlorctl)
foreach(tool zephlor-sim zephlor-gateway)
  file(CREATE_LINK zephlorctl ${CMAKE_BINARY_DIR}/${tool}-completion SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/${tool}-completion DESTINATION ${completions} RENAME ${tool})
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
