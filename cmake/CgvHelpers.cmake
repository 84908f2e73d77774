# SPDX-License-Identifier: GPL-3.0-or-later
# One library per source folder; one test program per *_test.cpp file.

# The platform back ends live in a posix/ or win32/ subfolder of a library; the build takes
# the one for its target, so the logic above them needs no #ifdef.
if(WIN32)
  set(CGV_PLATFORM win32)
else()
  set(CGV_PLATFORM posix)
endif()

# cgv_library(NAME [DEPS lib...])
# Builds every .cpp of the calling folder and of its platform subfolder into the static library NAME.
function(cgv_library name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${CGV_PLATFORM}/*.cpp)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# cgv_tests(LIBS lib... [TIMEOUT seconds])
# One executable per *_test.cpp of the calling folder, each test case registered with CTest.
function(cgv_tests)
  cmake_parse_arguments(A "" "TIMEOUT" "LIBS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 60)
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src ${tests})
    get_filename_component(base ${src} NAME_WE)
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(exe ${folder}_${base})
    add_executable(${exe} ${src})
    target_link_libraries(${exe} PRIVATE ${A_LIBS} cgv_testsupport GTest::gtest GTest::gmock)
    target_compile_definitions(${exe} PRIVATE CGV_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                              CGV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${A_TIMEOUT} ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endforeach()
endfunction()
