# Runs the include check on a tree made here: low/ and mid/ are layers, hub/
# holds two umbrellas (narrow.h gives low/, wide.h gives low/ and mid/) and a
# plain header, top/ is the layer under test. Each case writes top/x.cpp
# (or an umbrella) and expects the check to pass or to fail naming the
# include.
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/low/a.h "#pragma once\n")
file(WRITE ${WORK}/mid/b.h "#pragma once\n#include \"low/a.h\"\n")
file(WRITE ${WORK}/hub/narrow.h "#pragma once\n#include \"low/a.h\"\n")
file(WRITE ${WORK}/hub/wide.h "#pragma once\n#include <low/a.h>\n#include <mid/b.h>\n")
file(WRITE ${WORK}/hub/plain.h "#pragma once\n#include \"mid/b.h\"\n")
set(failures 0)

# expect: PASS, or the text that the failure must show.
function(check what folder allowed files expect)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DFOLDER=${folder} -DALLOWED=${allowed}
            -DFILES=${files} -DSTAMP=${WORK}/stamp -P ${CHECK}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(expect STREQUAL "PASS")
    if(NOT rc EQUAL 0)
      message(SEND_ERROR "${what}: refused, but is allowed:\n${out}")
    endif()
  elseif(rc EQUAL 0)
    message(SEND_ERROR "${what}: passed, but must fail")
  else()
    string(FIND "${out}" "${expect}" at)
    if(at EQUAL -1)
      message(SEND_ERROR "${what}: failed without naming \"${expect}\":\n${out}")
    endif()
  endif()
endfunction()

function(top text)
  file(WRITE ${WORK}/top/x.cpp "${text}")
endfunction()

# Both forms of a project include are checked; the system's are not.
top("#include \"low/a.h\"\n#include <low/a.h>\n#include <vector>\n#include <sys/types.h>\n")
check("allowed folder, both forms" top "low" "" PASS)
top("#include <mid/b.h>\n")
check("<...> include of a folder not allowed" top "low" "" "top/x.cpp includes mid/b.h")
top("#  include   \"mid/b.h\"  // spaced\n")
check("quoted include of a folder not allowed" top "low" "" "top/x.cpp includes mid/b.h")
top("#define HEADER \"mid/b.h\"\n#include HEADER\n")
check("an include through a macro" top "low,mid" "" "cannot read")

# An allowed umbrella gives what it includes, and no more.
top("#include <hub/narrow.h>\n#include \"low/a.h\"\n")
check("allowed umbrella and its folder" top "hub/narrow.h" "" PASS)
top("#include \"hub/wide.h\"\n")
check("an umbrella not allowed" top "hub/narrow.h" "" "top/x.cpp includes hub/wide.h")
top("#include \"mid/b.h\"\n")
check("a folder that the umbrella does not give" top "hub/narrow.h" "" "includes mid/b.h")
top("#include \"hub/plain.h\"\n")
check("another header of the umbrella's folder" top "hub/narrow.h" "" "includes hub/plain.h")
top("#include <hub/wide.h>\n#include <mid/b.h>\n")
check("the wide umbrella gives mid" top "hub/wide.h" "" PASS)

# The umbrellas are checked themselves, each by its own rule.
check("narrow umbrella within its rule" hub "low" "narrow.h" PASS)
file(WRITE ${WORK}/hub/narrow.h "#pragma once\n#include \"low/a.h\"\n#include <mid/b.h>\n")
check("narrow umbrella growing beyond its rule" hub "low" "narrow.h" "hub/narrow.h includes mid/b.h")
