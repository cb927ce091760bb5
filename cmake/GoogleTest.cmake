# GoogleTest: the host's packaged library natively, Debian's sources rebuilt with the cross compiler otherwise.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Cross-built tests run under the emulator; one process per test binary keeps Wine start-ups few.
function(ostrael_add_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main ostrael_warnings)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    # A parameterised case is named by its name generator alone; CMake would otherwise append the
    # printed parameter to the test's name.
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES)
  endif()
endfunction()
