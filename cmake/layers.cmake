# Layers whose includes the build checks. A layer is one folder; its .h and
# .cpp files may include, of the project's own headers ("..." includes),
# those of their own folder and of the folders the layer names, nothing
# else. The check runs in every build (ALL) and before each library of the
# layer is compiled, so a file that includes what its layer must not fails
# the build even where the include alone would compile and link.
#
#   corvane_layer(<name> MAY_INCLUDE <folder>... [FOR <target>...])
#
# The layer is the calling CMakeLists.txt's folder; folders are relative to
# the source root (platform/posix). FOR: the libraries made of it.
function(corvane_layer name)
  cmake_parse_arguments(L "" "" "MAY_INCLUDE;FOR" ${ARGN})
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  string(REPLACE ";" "," allowed "${L_MAY_INCLUDE}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.layer-checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DFOLDER=${folder} -DALLOWED=${allowed}
            -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMENT "Checking what ${folder} includes"
    VERBATIM)
  add_custom_target(${name}_layer ALL DEPENDS ${stamp})
  foreach(target ${L_FOR})
    add_dependencies(${target} ${name}_layer)
  endforeach()
endfunction()
