# Compiles the help project with chmcmd and treats its warnings (a page or a link it cannot
# find) as errors, as the C++ build does. chmcmd itself ends with 0 even then.
#   cmake -DCHMCMD=... -DPROJECT_FILE=.../Parcelo.hhp -DWORK_DIR=... -DOUTPUT=.../Parcelo.chm -P CompileHelp.cmake
file(MAKE_DIRECTORY "${WORK_DIR}")
file(REMOVE "${WORK_DIR}/Parcelo.chm")
# chmcmd writes the compiled file into its working folder, never beside the project file.
execute_process(
  COMMAND "${CHMCMD}" --verbosity 1 "${PROJECT_FILE}"
  WORKING_DIRECTORY "${WORK_DIR}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR "${out}${err}" MATCHES "(Warning|Error)" OR NOT EXISTS "${WORK_DIR}/Parcelo.chm")
  message(FATAL_ERROR "chmcmd failed on ${PROJECT_FILE} (status ${status}):\n${out}${err}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E copy "${WORK_DIR}/Parcelo.chm" "${OUTPUT}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot copy Parcelo.chm to ${OUTPUT}")
endif()
