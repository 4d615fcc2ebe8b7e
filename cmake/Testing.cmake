# Test programs: GoogleTest executables run by ctest. In a cross build on Linux each one runs
# under Wine in a private prefix that the build creates once (see make-wineprefix.sh).
if(NOT TOLVARN_BUILD_TESTS)
  return()
endif()
enable_testing()

if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
  set(TOLVARN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix used by the tests")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  add_custom_command(
    OUTPUT ${TOLVARN_WINEPREFIX}/.tolvarn-ready
    COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/make-wineprefix.sh ${TOLVARN_WINEPREFIX} ${TOLVARN_WINEPREFIX}/.tolvarn-ready
    COMMENT "Creating the Wine prefix for the tests"
    VERBATIM)
  add_custom_target(wineprefix ALL DEPENDS ${TOLVARN_WINEPREFIX}/.tolvarn-ready)
endif()

# tolvarn_add_gtest(<name> SOURCES ... [LIBS ...] [LOCK <resource>...] [TIMEOUT <s>] [DEPENDS <targets>])
# Builds <name>.exe with GoogleTest and registers it with ctest. LOCK keeps tests that share a
# process-wide resource of the prefix (the watchdog's mutex and window, the service, the registry
# keys of the mail stand-in) from running at the same time.
function(tolvarn_add_gtest name)
  # LOCK takes a list: a test that shares several resources holds all of them.
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;DEPENDS;LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCK}")
  endif()
endfunction()
