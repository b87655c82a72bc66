# Layers whose includes the build checks. A layer is one folder; its .h and
# .cpp files may include, of the project's own headers ("..." includes, and
# <...> includes that begin with a folder of the source root), those of
# their own folder and of the folders the layer names, nothing else. Instead
# of a whole folder a layer may name single headers: the umbrellas
# (platform/kernel32.h, platform/afx.h). A layer that may include an
# umbrella may also use the folders that the umbrella includes, and only
# those: an umbrella is a layer of its own (FILES), whose includes are
# checked like any other's, so it can give no more than its rule allows.
# The check runs in every build (ALL) and before each library of the layer
# is compiled, so a file that includes what its layer must not fails the
# build even where the include alone would compile and link.
#
#   corvane_layer(<name> [FOLDER <folder>] MAY_INCLUDE <folder or header>...
#                 [FILES <file>...] [FOR <target>...])
#
# The layer is FOLDER, by default the calling CMakeLists.txt's folder; folders and headers are
# relative to the source root (platform/posix, platform/kernel32.h). FILES:
# the files of the folder that make the layer (by default all its .h and
# .cpp files). FOR: the libraries made of it.
function(corvane_layer name)
  cmake_parse_arguments(L "" "FOLDER" "MAY_INCLUDE;FILES;FOR" ${ARGN})
  if(L_FOLDER)
    set(dir ${CMAKE_SOURCE_DIR}/${L_FOLDER})
  else()
    set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${dir})
  if(L_FILES)
    set(files "")
    foreach(f ${L_FILES})
      list(APPEND files ${dir}/${f})
    endforeach()
  else()
    file(GLOB files CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.cpp)
  endif()
  # A changed umbrella changes what the layers that include it reach.
  set(umbrellas "")
  foreach(entry ${L_MAY_INCLUDE})
    if(entry MATCHES "\\.h$")
      list(APPEND umbrellas ${CMAKE_SOURCE_DIR}/${entry})
    endif()
  endforeach()
  string(REPLACE ";" "," allowed "${L_MAY_INCLUDE}")
  string(REPLACE ";" "," only "${L_FILES}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.layer-checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DFOLDER=${folder} -DALLOWED=${allowed}
            -DFILES=${only} -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    DEPENDS ${files} ${umbrellas} ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMENT "Checking what ${folder} includes"
    VERBATIM)
  add_custom_target(${name}_layer ALL DEPENDS ${stamp})
  foreach(target ${L_FOR})
    add_dependencies(${target} ${name}_layer)
  endforeach()
endfunction()
