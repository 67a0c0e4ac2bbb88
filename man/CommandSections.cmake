# Writes a help2man include file with one subsection per pandry-cli command, each the
# command's own help, preformatted. The commands are read from the program's --help.
# Usage: cmake -DPROGRAM=path/to/pandry-cli -DOUTPUT=file.h2m -P CommandSections.cmake
cmake_minimum_required(VERSION 3.25)

# Text as roff takes it verbatim: backslashes doubled, a leading dot or quote escaped.
function(as_roff text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE overview COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\nSubcommands:\n(([ ]+[^\n]+\n)+)" listing "${overview}")
string(REGEX MATCHALL "\n  [a-z]+" commands "\n${CMAKE_MATCH_1}")
if(NOT commands)
    message(FATAL_ERROR "${PROGRAM} --help lists no commands")
endif()

set(sections "[COMMANDS]\n")
foreach(command ${commands})
    string(STRIP "${command}" command)
    # help explains the others; the sources listing is already in the overview.
    if(command STREQUAL "help" OR command STREQUAL "sources")
        continue()
    endif()
    execute_process(COMMAND ${PROGRAM} help ${command} OUTPUT_VARIABLE command_help
                    COMMAND_ERROR_IS_FATAL ANY)
    as_roff("${command_help}" command_help)
    string(APPEND sections ".SS ${command}\n.nf\n${command_help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${sections}")
