# Makes a fresh publisher key for the hand-off test at build time, so no secret key is ever
# committed: the secret half goes to KEY, the source defining kPublisherKey to SOURCE.
execute_process(COMMAND ${SIGN} keygen ${KEY} OUTPUT_VARIABLE publicKey
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "zentrel-sign keygen failed")
endif()
file(WRITE ${SOURCE}
  "#include \"updater/publisher_key.h\"\nconst char kPublisherKey[] = \"${publicKey}\";\n")
