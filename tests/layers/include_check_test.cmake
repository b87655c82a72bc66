# The include check on a tree of its own: low/ and mid/ are layers, hub/
# holds an umbrella (narrow.h, which gives low/) and a plain header; the
# layer under test is top/ (or the umbrella itself).
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/low/a.h "")
file(WRITE ${WORK}/mid/b.h "")
file(WRITE ${WORK}/hub/narrow.h "#include \"low/a.h\"\n")
file(WRITE ${WORK}/hub/plain.h "")

# Writes text into folder/file and checks it; expect: PASS or the text that
# the failure must show.
function(check folder file text allowed expect)
  file(WRITE ${WORK}/${folder}/${file} "${text}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DFOLDER=${folder} -DALLOWED=${allowed}
                          -DFILES=${file} -DSTAMP=${WORK}/stamp -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(FIND "${out}" "${expect}" at)
  if(NOT (expect STREQUAL "PASS" AND rc EQUAL 0) AND (rc EQUAL 0 OR at EQUAL -1))
    message(SEND_ERROR "${text}with ${allowed}: expected ${expect}, got ${rc}:\n${out}")
  endif()
endfunction()

check(top x.cpp "#include \"low/a.h\"\n#include <low/a.h>\n#include <sys/types.h>\n" low PASS)
check(top x.cpp "#include <mid/b.h>\n" low "top/x.cpp includes mid/b.h")
check(top x.cpp "#define H \"mid/b.h\"\n#include H\n" "low,mid" "cannot read")
# An umbrella gives what it includes and no more; it is checked itself.
check(top x.cpp "#include <hub/narrow.h>\n#include \"low/a.h\"\n" hub/narrow.h PASS)
check(top x.cpp "#include \"mid/b.h\"\n" hub/narrow.h "top/x.cpp includes mid/b.h")
check(top x.cpp "#include \"hub/plain.h\"\n" hub/narrow.h "top/x.cpp includes hub/plain.h")
check(hub narrow.h "#include \"low/a.h\"\n#include <mid/b.h>\n" low "narrow.h includes mid/b.h")
