# Makes the tools' MSI with wixl: stages the files beside the descriptor (wixl takes sources
# relative to it), builds the package, then adds what wixl has no element for: the installation
# folder appended to the system PATH on install and taken out again on uninstall.
#   cmake -DWIXL=... -DMSIBUILD=... -DDESCRIPTOR=installer.wxs -DVERSION=1.2.0
#         -DSTAGE=folder -DOUTPUT=tools.msi -DFILES=a,b,... -P make_installer.cmake
foreach(needed WIXL MSIBUILD DESCRIPTOR VERSION STAGE OUTPUT FILES)
  if(NOT DEFINED ${needed})
    message(FATAL_ERROR "make_installer.cmake needs -D${needed}=...")
  endif()
endforeach()

string(REPLACE "," ";" FILES "${FILES}")  # given as a,b,c: a list cannot pass through -D
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${DESCRIPTOR} ${FILES} DESTINATION ${STAGE})
get_filename_component(descriptor_name ${DESCRIPTOR} NAME)
file(REMOVE ${OUTPUT})

# Stops with the command's output unless it succeeded.
function(require_success what status output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${output}")
  endif()
endfunction()

execute_process(COMMAND ${WIXL} --arch x64 --define Version=${VERSION} --output ${OUTPUT}
                        ${STAGE}/${descriptor_name}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
require_success(wixl "${status}" "${output}")
# "=-*PATH": set on install, removed on uninstall, in the system's environment; "[~];" appends
# the folder to what PATH holds. Each query is one argument, semicolons and all.
set(create "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)")
set(entry "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PathEntry', '=-*PATH', '[~];[INSTALLDIR]', 'path')")
set(sequence "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES")
execute_process(COMMAND ${MSIBUILD} ${OUTPUT} -q "${create}" -q "${entry}"
                        -q "${sequence} ('RemoveEnvironmentStrings', 3300)"
                        -q "${sequence} ('WriteEnvironmentStrings', 5200)"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
require_success(msibuild "${status}" "${output}")
