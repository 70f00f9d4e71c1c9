# Fills the gateway's unit template at build time: the statuses that must not restart it come
# from the exit code table, through the program that prints them.
execute_process(COMMAND ${STATUSES_PROGRAM} OUTPUT_VARIABLE RESTART_PREVENT_EXIT_STATUS
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
