# SPDX-License-Identifier: GPL-3.0-or-later
# Windows: the program beside its Qt DLLs (windeployqt) and an installer from CPack (NSIS, or
# WiX when CGV_WIX is on). Configures with Qt 6 for MSVC or MinGW; not built on these machines.
install(TARGETS corvanegv corvanegv-query RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/new_msg.wav DESTINATION .)

get_target_property(cgv_qmake Qt6::qmake IMPORTED_LOCATION)
get_filename_component(cgv_qt_bin "${cgv_qmake}" DIRECTORY)
find_program(CGV_WINDEPLOYQT windeployqt HINTS "${cgv_qt_bin}" REQUIRED)
install(CODE "execute_process(COMMAND \"${CGV_WINDEPLOYQT}\" --release --no-translations --no-compiler-runtime
                                      --dir \"\${CMAKE_INSTALL_PREFIX}\" \"\${CMAKE_INSTALL_PREFIX}/corvanegv.exe\"
                              COMMAND_ERROR_IS_FATAL ANY)")

option(CGV_WIX "Pack with WiX instead of NSIS" OFF)
set(CPACK_PACKAGE_NAME "CorvaneGV")
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "CorvaneGV")
set(CPACK_PACKAGE_EXECUTABLES corvanegv "Corvane Games Viewer")
if(CGV_WIX)
  set(CPACK_GENERATOR WIX)
  set(CPACK_WIX_UPGRADE_GUID "6A0F3C52-8E4B-4B8E-9C2D-2F6E4C1B7A10")
else()
  set(CPACK_GENERATOR NSIS)
  set(CPACK_NSIS_DISPLAY_NAME "Corvane Games Viewer")
endif()
include(CPack)
