cmake_minimum_required(VERSION 3.25)
# Run by corvane_layer (layers.cmake): fails when a file of FOLDER includes
# a project header that its layer may not use; otherwise touches STAMP.
#
#   ROOT     the source root
#   FOLDER   the layer's folder, relative to ROOT (platform/serial)
#   ALLOWED  comma-separated: folders whose headers the layer may include,
#            and single headers (umbrellas, platform/kernel32.h) it may
#            include; a folder that may include an umbrella may also use
#            every folder that the umbrella includes, and nothing else of
#            the umbrella's folder
#   FILES    comma-separated file names in FOLDER to check; by default all
#            its .h and .cpp files
#   STAMP    touched when every include is allowed
#
# A project header is any "..." include (the source root is the one include
# folder), and any <...> include whose first component is a folder of the
# source root (<platform/serial/serial.h>); other <...> includes are the
# system's. An #include of neither form (a macro) is refused: the check
# could not tell what it includes.
string(REPLACE "," ";" allowed "${ALLOWED}")
set(folders "${FOLDER}")
set(headers "")
foreach(entry ${allowed})
  if(entry MATCHES "\\.h$")
    list(APPEND headers "${entry}")
  else()
    list(APPEND folders "${entry}")
  endif()
endforeach()

# The project headers that file includes, in *out.
function(project_includes file out)
  set(found "")
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\"")
      list(APPEND found "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]*)>")
      set(header "${CMAKE_MATCH_1}")
      string(REGEX MATCH "^[^/]+/" top "${header}")
      if(top AND IS_DIRECTORY "${ROOT}/${top}")
        list(APPEND found "${header}")
      endif()
    else()
      list(APPEND found "?${line}")  # unreadable: refused by every layer
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# An umbrella gives the folders of what it includes.
foreach(umbrella ${headers})
  if(NOT EXISTS "${ROOT}/${umbrella}")
    message(FATAL_ERROR "${FOLDER}: the allowed header ${umbrella} does not exist")
  endif()
  project_includes("${ROOT}/${umbrella}" inner)
  foreach(header ${inner})
    get_filename_component(dir "${header}" DIRECTORY)
    get_filename_component(umbrellaDir "${umbrella}" DIRECTORY)
    # Not the umbrella's own folder: the other headers there are not given.
    if(NOT header MATCHES "^\\?" AND NOT dir STREQUAL umbrellaDir)
      list(APPEND folders "${dir}")
    endif()
  endforeach()
endforeach()

if(FILES)
  string(REPLACE "," ";" names "${FILES}")
  set(files "")
  foreach(name ${names})
    list(APPEND files "${ROOT}/${FOLDER}/${name}")
  endforeach()
else()
  file(GLOB files ${ROOT}/${FOLDER}/*.h ${ROOT}/${FOLDER}/*.cpp)
endif()

set(errors "")
foreach(file ${files})
  project_includes("${file}" included)
  file(RELATIVE_PATH name ${ROOT} ${file})
  foreach(header ${included})
    get_filename_component(dir "${header}" DIRECTORY)
    if(header MATCHES "^\\?(.*)")
      string(APPEND errors "  ${name}: an include the check cannot read: ${CMAKE_MATCH_1}\n")
    elseif(NOT dir IN_LIST folders AND NOT header IN_LIST headers)
      string(APPEND errors "  ${name} includes ${header}\n")
    endif()
  endforeach()
endforeach()
if(errors)
  set(shown ${folders} ${headers})
  list(REMOVE_DUPLICATES shown)
  string(REPLACE ";" ", " list "${shown}")
  message(FATAL_ERROR "${FOLDER} may include only ${list}:\n${errors}")
endif()
file(TOUCH ${STAMP})
