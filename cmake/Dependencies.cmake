# Boost (header-only parts) and GoogleTest.
#
# Cross builds on Debian take Boost's headers from /usr/include/boost, but must never put
# /usr/include itself on the cross compiler's path (glibc headers would leak in): a build-local
# folder holds only a link named boost. Native Windows builds find Boost the usual way.
option(TOLVARN_BUILD_TESTS "Build the tests" ON)

add_library(tolvarn_boost INTERFACE)
if(CMAKE_CROSSCOMPILING AND EXISTS /usr/include/boost/version.hpp)
  set(_boost_shim ${CMAKE_BINARY_DIR}/boost-include)
  file(MAKE_DIRECTORY ${_boost_shim})
  if(NOT EXISTS ${_boost_shim}/boost)
    file(CREATE_LINK /usr/include/boost ${_boost_shim}/boost SYMBOLIC)
  endif()
  target_include_directories(tolvarn_boost SYSTEM INTERFACE ${_boost_shim})
else()
  find_package(Boost 1.70 REQUIRED)
  target_link_libraries(tolvarn_boost INTERFACE Boost::headers)
endif()
target_compile_definitions(tolvarn_boost INTERFACE BOOST_ALL_NO_LIB)

if(TOLVARN_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING AND EXISTS /usr/src/googletest/CMakeLists.txt)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest's own sources are not ours to keep warning-free.
    foreach(t gtest gtest_main)
      target_compile_options(${t} PRIVATE -w)
    endforeach()
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
