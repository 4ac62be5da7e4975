# ombrel's options, answered on the terminal with no display at all (ctest runs this with cmake -P):
# each case is "arguments|exit status|what stdout matches|what stderr matches".
cmake_policy(SET CMP0007 NEW) # the case with no arguments keeps its empty first field
set(usage "Usage: [^\n]*ombrel .options.\n.*-h, --help.*-v, --version")
foreach(case "--version|0|^Ombrel ${VERSION}\n$|^$" "-v|0|^Ombrel ${VERSION}\n$|^$" "--help|0|^${usage}|^$"
    "-h --version|0|^${usage}|^$" "--colour|2|^$|^ombrel: Unknown option 'colour'\\.\n${usage}"
    "-x --help|2|^$|^ombrel: Unknown option 'x'\\.\n${usage}" "--version=2|2|^$|^ombrel: Unexpected value after '--version'"
    "ls|2|^$|^ombrel: Unexpected argument 'ls'\\.\n${usage}" "--help a b|2|^$|^ombrel: Unexpected arguments: a, b\\."
    "|1|^$|^ombrel: cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set\n$")
  string(REPLACE "|" ";" case "${case}")
  list(POP_FRONT case arguments status stdout stderr)
  separate_arguments(arguments)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
    ${OMBREL} ${arguments} RESULT_VARIABLE got_status OUTPUT_VARIABLE got_stdout ERROR_VARIABLE got_stderr)
  if(NOT got_status STREQUAL status OR NOT got_stdout MATCHES "${stdout}" OR NOT got_stderr MATCHES "${stderr}")
    message(SEND_ERROR "ombrel ${arguments}: exit status ${got_status}\n${got_stdout}${got_stderr}")
  endif()
endforeach()
# An answer that cannot be written, to a full device, fails with the reason.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
  ${OMBREL} --version RESULT_VARIABLE got_status OUTPUT_FILE /dev/full ERROR_VARIABLE got_stderr)
if(NOT got_status STREQUAL 1 OR NOT got_stderr MATCHES "^ombrel: cannot write the answer: No space left on device\n$")
  message(SEND_ERROR "ombrel --version >/dev/full: exit status ${got_status}\n${got_stderr}")
endif()
# A display that cannot be reached: Qt's own words for it, in the same one line.
execute_process(COMMAND ${CMAKE_COMMAND} -E env DISPLAY=:4711 --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM ${OMBREL}
  RESULT_VARIABLE got_status OUTPUT_VARIABLE got_stdout ERROR_VARIABLE got_stderr)
if(NOT got_status EQUAL 1 OR NOT got_stderr MATCHES "^ombrel: cannot open a display: [^\n]*:4711\n$")
  message(SEND_ERROR "ombrel on an absent display: exit status ${got_status}\n${got_stdout}${got_stderr}")
endif()
