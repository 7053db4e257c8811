# Runs a VBScript with Wine's script host and compares its output with the
# expected text (Wine's cscript ends with status 0 also on a script error,
# so the output is what tells):
#   cmake -DLOADER=wine64 -DSCRIPT=file.vbs -DEXPECTED=file.txt -DOUT=file -P run_script.cmake
string(REPLACE "/" "\\" windows_script "Z:${SCRIPT}")
execute_process(COMMAND ${LOADER} cscript //nologo "${windows_script}"
                INPUT_FILE /dev/null OUTPUT_FILE "${OUT}" ERROR_FILE "${OUT}.err"
                RESULT_VARIABLE status TIMEOUT 120)
file(READ "${OUT}" actual)
file(READ "${OUT}.err" errors)
file(READ "${EXPECTED}" expected)
file(REMOVE "${OUT}" "${OUT}.err")
string(REPLACE "\r\n" "\n" actual "${actual}")
if(NOT status EQUAL 0 OR NOT actual STREQUAL expected)
  message(FATAL_ERROR "cscript (exit status ${status}) printed:\n${actual}\n"
                      "expected:\n${expected}\nstderr:\n${errors}")
endif()
