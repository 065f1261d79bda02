# vesk_add_test(NAME SOURCES src... LIBS lib...)
# One GoogleTest program per folder; CTest runs it as one test.
function(vesk_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
