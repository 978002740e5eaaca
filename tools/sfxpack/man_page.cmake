# Writes sfxpack's manual page from the built tool's own help texts, so the
# page says exactly what --help says. No date goes in: the page of one
# commit is the same bytes whenever it is built.
# usage: cmake -DTOOL=sfxpack -DVERSION=x.y.z -DOUTPUT=sfxpack.1 -P man_page.cmake

# A help text as lines that roff shows as they are.
function(verbatim text result)
    string(REPLACE "\\" "\\e" text "${text}")
    # A line that starts with a dot or a quote would be read as a request.
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${result} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

function(help_of args result)
    execute_process(COMMAND ${TOOL} ${args} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${TOOL} ${args} --help failed")
    endif()
    verbatim("${text}" block)
    set(${result} "${block}" PARENT_SCOPE)
endfunction()

help_of("" page)
set(page ".TH SFXPACK 1 \"\" \"sfxpack ${VERSION}\" \"User Commands\"
.SH NAME
sfxpack \\- builds and checks update launchers
.SH DESCRIPTION
${page}")
foreach(command pack inspect extract profile config)
    help_of(${command} block)
    string(APPEND page ".SH \"SFXPACK ${command}\"\n${block}")
endforeach()
file(WRITE ${OUTPUT} "${page}")
