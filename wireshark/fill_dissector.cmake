# Fills the dissector's template with the request lines' table that COMMANDS prints.
execute_process(COMMAND ${COMMANDS} OUTPUT_VARIABLE LINE_COMMANDS RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${COMMANDS} failed")
endif()
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
