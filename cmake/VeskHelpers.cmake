include(GNUInstallDirs)

# vesk_install_program(TARGET): installs a program into the prefix's bin
# folder; it finds the system's libraries in the prefix's library folder.
function(vesk_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# vesk_add_test(NAME SOURCES src... LIBS lib...)
# One GoogleTest program per folder; CTest runs it as one test.
function(vesk_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# vesk_add_netns_test(NAME SOURCES src... LIBS lib...)
# Like vesk_add_test, but CTest runs the program inside private network and
# PID namespaces (tools/netns/runInNetns.sh): only loopback exists, so it may
# bind 127.0.0.2, 127.0.0.3, ... freely, and every process it starts ends
# with it. Needs root.
function(vesk_add_netns_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  add_test(NAME ${name}
    COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tools/netns/runInNetns.sh $<TARGET_FILE:${name}>)
endfunction()

# vesk_without_manager_library(TARGET): the test program finds the core
# library through a run-path folder of its own that holds the core library
# alone, so the manager client stand-in beside it in the library folder is
# not found: the program runs as on a host without the manager.
function(vesk_without_manager_library target)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-no-manager)
  set_target_properties(${target} PROPERTIES SKIP_BUILD_RPATH ON)
  target_link_options(${target} PRIVATE "LINKER:-rpath,${dir}")
  add_custom_command(TARGET ${target} PRE_LINK
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:vesklib> ${dir}/$<TARGET_SONAME_FILE_NAME:vesklib>)
endfunction()
