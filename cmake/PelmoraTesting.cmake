# pelmora_add_test(NAME SOURCES... LIBS libs... [GUI])
# One GoogleTest executable, registered with ctest once; under the Windows
# build ctest runs it through Wine. GUI marks tests that open windows: they
# share one X display and run one at a time, so that no test's window covers
# another's while it reads pixels back.
function(pelmora_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  if(T_GUI)
    set_tests_properties(${name} PROPERTIES LABELS gui RESOURCE_LOCK display)
  endif()
endfunction()
