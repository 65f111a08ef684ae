# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the manual page of stellon-cli from its own help texts:
#   cmake -DCLI=path/to/stellon-cli -DOUT=stellon-cli.1 -DDATE=YYYY-MM-DD -P ManPage.cmake
# The program's help and the help of every command it lists become the page's
# sections, so the page never says other than --help does.

function(run_cli out)
  execute_process(COMMAND "${CLI}" ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "stellon-cli ${ARGN} failed (${rc})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Help text as roff in no-fill mode: backslashes and minus signs escaped, and
# lines protected from being read as requests.
function(to_roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

run_cli(top --help)
run_cli(version --version)
string(STRIP "${version}" version)

# Command names: the lines under "Subcommands:".
string(FIND "${top}" "Subcommands:\n" at)
string(SUBSTRING "${top}" ${at} -1 listing)
string(REGEX MATCHALL "\n  [a-z0-9-]+ " names "${listing}")

to_roff(body "${top}")
set(page ".TH STELLON\\-CLI 1 \"${DATE}\" \"${version}\" \"User Commands\"
.SH NAME
stellon\\-cli \\- frame and combine the images of planetary captures from the command line
.SH SYNOPSIS
.B stellon\\-cli
.I COMMAND
[\\fIARGUMENTS\\fR] [\\fIOPTIONS\\fR]
.br
.B stellon\\-cli
.RB [ \\-\\-help | \\-\\-version ]
.SH DESCRIPTION
${body}.SH COMMANDS
")
foreach(name ${names})
  string(STRIP "${name}" name)
  run_cli(help ${name} --help)
  to_roff(body "${help}")
  string(APPEND page ".SS ${name}\n${body}")
endforeach()
string(APPEND page ".SH EXIT STATUS
0 when the command did its work; 1 when a file could not be read or written;
2 for bad arguments (reported as the command, the fault and a hint to its \\-\\-help)
and for a file that is not a valid AVI video; 3 when an image cannot be read.
.SH SEE ALSO
The user guide, /usr/share/doc/stellon/guide.md.
")
file(WRITE "${OUT}.tmp" "${page}")
file(RENAME "${OUT}.tmp" "${OUT}")
