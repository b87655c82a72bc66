# The Windows program, included by the top-level CMakeLists.txt when it
# cross-builds for Windows (cmake/mingw-i686.cmake; scripts/build-windows.sh).
# The folders above platform/ (app/, camera/, port/, res/) compile
# unchanged against the real <windows.h>: platform/windows/include/ comes
# before the source root on the include path and holds, under the names
# those folders include, one-line headers that include <windows.h> and the
# Windows meaning of the few services that differ. The framework
# (platform/afx, platform/ui/framework) runs over the real user32 with what
# differs in platform/windows/. The Linux-only layers (posix, serial,
# devices, process, the window model, FLTK, the programs of cli/ and tools/)
# are not built here, but for the portable state variables of process/;
# the bench library (backup/) is, with its Windows files.
add_compile_definitions(WIN32_LEAN_AND_MEAN)
include_directories(BEFORE ${CMAKE_SOURCE_DIR}/platform/windows/include)
include_directories(${CMAKE_SOURCE_DIR})
# One portable file: the C and C++ runtimes and winpthreads linked in, so
# that the program imports only Windows' own DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
# Address-space randomisation, no execution from data pages.
add_link_options(LINKER:--dynamicbase LINKER:--nxcompat)
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  # The stack protector's and the fortified functions' runtime (libssp).
  add_link_options(-fstack-protector-strong)
  # The symbol tables only make the portable file bigger (2.6 MB to 1.4 MB).
  add_link_options(-s)
endif()

set(src ${CMAKE_SOURCE_DIR})

# The framework without windows; the framework's window classes with the
# resource registry that the dialog templates are read from. Their Windows
# side is in platform/windows/.
add_library(corvane_afx STATIC ${src}/platform/afx/afxstr.cpp ${src}/platform/afx/afxcore.cpp)
target_link_libraries(corvane_afx PUBLIC corvane_windows Threads::Threads)
add_library(corvane_ui_framework STATIC
  ${src}/platform/ui/framework/afxwin.cpp
  ${src}/platform/ui/framework/afxapp.cpp
  ${src}/platform/ui/model/resources.cpp)
target_link_libraries(corvane_ui_framework PUBLIC corvane_afx)
add_subdirectory(platform/windows)

add_library(corvane_codec STATIC ${src}/camera/CommandTable.cpp ${src}/camera/HexCodec.cpp
                                 ${src}/camera/Outcome.cpp)
# The bench library, with its Windows files (backup/CMakeLists.txt chooses).
add_subdirectory(backup)
add_library(corvane_port STATIC
  ${src}/port/CommPort.cpp
  ${src}/port/OpenPort.cpp
  ${src}/port/ReportError.cpp
  ${src}/port/Receiver.cpp
  ${src}/port/MonitorThread.cpp
  ${src}/camera/FrameCodec.cpp
  ${src}/camera/Transactions.cpp
  ${src}/camera/ReadSession.cpp)
target_link_libraries(corvane_port PUBLIC corvane_codec corvane_afx)
add_library(corvane_port_box STATIC ${src}/port/BoxReceiver.cpp)
target_link_libraries(corvane_port_box PUBLIC corvane_port corvane_ui_framework)

add_library(corvane_res STATIC ${src}/res/Templates.cpp ${src}/res/Icon.cpp)
target_link_libraries(corvane_res PUBLIC corvane_ui_framework)

# The variables that name the state folder, handed over by the entry point
# (the portable source).
add_library(corvane_process STATIC ${src}/platform/process/state_variables.cpp)
target_link_libraries(corvane_process PUBLIC Threads::Threads)

add_library(corvane_app STATIC
  ${src}/app/AboutDlg.cpp
  ${src}/app/TesterDlg.cpp
  ${src}/app/TesterCommands.cpp
  ${src}/app/CodeGrid.cpp
  ${src}/app/MemoryMapDlg.cpp
  ${src}/app/MemoryMapFiles.cpp
  ${src}/app/JournalPath.cpp)
# The memory map's painted grid (gdi32), progress bar (comctl32) and open
# and save boxes (comdlg32): Windows' own DLLs.
target_link_libraries(corvane_app PUBLIC corvane_port_box corvane_res corvane_ui_framework
                                         corvane_backup corvane_process comctl32 comdlg32 gdi32)

# The icon as a Windows .ico, made at build time from the same pixel data
# (res/Icon.cpp) by a small program for the build machine, and the
# program's resources (icon, version information) compiled by windres.
find_program(CORVANE_HOST_CXX NAMES c++ g++ REQUIRED)
set(ico ${CMAKE_CURRENT_BINARY_DIR}/corvane.ico)
add_custom_command(
  OUTPUT ${ico}
  COMMAND ${CORVANE_HOST_CXX} -std=c++20 -O1 -I${src} ${src}/res/Icon.cpp ${src}/res/icon_ico.cpp
          -o ${CMAKE_CURRENT_BINARY_DIR}/corvane-icon-ico
  COMMAND ${CMAKE_CURRENT_BINARY_DIR}/corvane-icon-ico ${ico}
  DEPENDS ${src}/res/Icon.cpp ${src}/res/icon_ico.cpp ${src}/res/Resources.h
  COMMENT "Writing the Corvane icon as .ico"
  VERBATIM)
configure_file(${src}/res/corvane.rc.in ${CMAKE_CURRENT_BINARY_DIR}/corvane.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/corvane.rc PROPERTIES OBJECT_DEPENDS ${ico})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${src} -I${CMAKE_CURRENT_BINARY_DIR}")
enable_language(RC)
add_library(corvane_rc OBJECT ${CMAKE_CURRENT_BINARY_DIR}/corvane.rc)

add_executable(corvane WIN32 ${src}/app/TesterApp.cpp ${src}/platform/windows/winmain.cpp
                             $<TARGET_OBJECTS:corvane_rc>)
target_link_libraries(corvane PRIVATE corvane_app)

# The package: the program, a short readme for Windows and the licence.
set(zip_dir ${CMAKE_CURRENT_BINARY_DIR}/corvane-${PROJECT_VERSION}-windows)
set(zip ${CMAKE_CURRENT_BINARY_DIR}/corvane-${PROJECT_VERSION}-windows.zip)
add_custom_command(
  OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_dir}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_dir}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:corvane> ${zip_dir}/corvane.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${src}/packaging/README-windows.txt ${zip_dir}/README.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${src}/packaging/copyright ${zip_dir}/LICENCE.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_COMMAND} -E tar cf ${zip}
          --format=zip corvane-${PROJECT_VERSION}-windows
  DEPENDS corvane ${src}/packaging/README-windows.txt ${src}/packaging/copyright
  COMMENT "Packing corvane-${PROJECT_VERSION}-windows.zip"
  VERBATIM)
add_custom_target(corvane_zip ALL DEPENDS ${zip})

enable_testing()
add_subdirectory(tests/windows)
# The end-to-end check of the program under Wine, where it is in the tree.
if(EXISTS ${src}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()
