# A throw-away release signing key for the updater's tests, made once per
# build folder with openssl: the test service signs manifests with the
# private half, and the test programs trust the public half in place of the
# release key (which shipping builds alone trust).
include_guard(GLOBAL)
set(QM_TEST_UPDATE_KEY_FILE ${PROJECT_BINARY_DIR}/test-update-key.pem)
if(NOT EXISTS ${QM_TEST_UPDATE_KEY_FILE})
  execute_process(COMMAND openssl genpkey -algorithm ed25519 -out ${QM_TEST_UPDATE_KEY_FILE}
    RESULT_VARIABLE qm_key_result OUTPUT_QUIET ERROR_QUIET)
  if(NOT qm_key_result EQUAL 0)
    message(FATAL_ERROR "openssl could not make the updater's test key")
  endif()
endif()
execute_process(COMMAND sh -c "openssl pkey -in '${QM_TEST_UPDATE_KEY_FILE}' -pubout -outform DER | tail -c 32 | base64"
  OUTPUT_VARIABLE QM_TEST_UPDATE_PUBLIC_KEY OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE qm_key_result)
string(LENGTH "${QM_TEST_UPDATE_PUBLIC_KEY}" qm_key_length)
if(NOT qm_key_result EQUAL 0 OR NOT qm_key_length EQUAL 44)
  message(FATAL_ERROR "could not read the updater's test key")
endif()
