# GoogleTest for the tests: the system's package on a native build; on a cross
# build (mingw-w64) compiled from Debian's sources in /usr/src/googletest, which
# the googletest package ships, with the same GTest::gtest / GTest::gtest_main
# targets. Include it where find_package(GTest) would stand.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()
if(TARGET GTest::gtest)
  return()
endif()

set(LORETH_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${LORETH_GTEST_SOURCE_DIR}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${LORETH_GTEST_SOURCE_DIR} "
                      "(apt-get install googletest)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${LORETH_GTEST_SOURCE_DIR}/googletest ${CMAKE_BINARY_DIR}/_deps/googletest
                 EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest's own warnings are not ours to fix.
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
endforeach()
# GoogleTest's own CMake names its targets GTest::gtest and GTest::gtest_main.
foreach(t gtest gtest_main)
  if(NOT TARGET GTest::${t})
    add_library(GTest::${t} ALIAS ${t})
  endif()
endforeach()

# A later find_package(GTest) finds these targets through a config file that
# only says they are here.
set(_loreth_gtest_config_dir ${CMAKE_BINARY_DIR}/_deps/gtest-config)
file(WRITE ${_loreth_gtest_config_dir}/GTestConfig.cmake
     "# GoogleTest built from source by cmake/gtest-from-source.cmake.\n")
set(GTest_DIR ${_loreth_gtest_config_dir} CACHE PATH "GoogleTest built from source" FORCE)
