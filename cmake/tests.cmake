# GoogleTest from Debian's source package, built with the same compiler.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The programs under test are built as released; the tests themselves, and
# GoogleTest, need no more than light optimisation and no debugging
# information, which halves their compile time in the Windows builds and in
# the release-configured build of kavora-cli whose tests the QEMU lane runs.
if(KAVORA_WINDOWS OR CMAKE_BUILD_TYPE STREQUAL "Release")
    set(KAVORA_TEST_OPTIMISATION -O1 -g0)
    target_compile_options(gtest PRIVATE ${KAVORA_TEST_OPTIMISATION})
    target_compile_options(gtest_main PRIVATE ${KAVORA_TEST_OPTIMISATION})
endif()

enable_testing()

file(GLOB KAVORA_PORTABLE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/portable/*.cpp)
file(GLOB KAVORA_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
file(GLOB KAVORA_WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/support/*.cpp)
# Shared by the portable and the Windows tests.
file(GLOB KAVORA_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
# What the tests of each system's kavora-cli share: the table of its --json
# documents, which needs nlohmann's header (it comes with kavora_cli), and
# the command lines both programs must run alike.
set(KAVORA_CLI_TEST_SUPPORT ${CMAKE_SOURCE_DIR}/tests/support/cli_json_keys.cpp
                            ${CMAKE_SOURCE_DIR}/tests/support/cli_cases.cpp)
list(REMOVE_ITEM KAVORA_TEST_SUPPORT ${KAVORA_CLI_TEST_SUPPORT})

if(KAVORA_WINDOWS)
    # Each test program runs under Wine in a folder of its own, since runs write
    # "sum.txt" and read "IDString.txt" from the working directory.
    function(kavora_wine_test name)
        set(dir ${CMAKE_BINARY_DIR}/testrun/${name})
        file(MAKE_DIRECTORY ${dir})
        add_test(NAME ${name}
                 COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run.sh $<TARGET_FILE:${name}>
                 WORKING_DIRECTORY ${dir})
        set_tests_properties(${name} PROPERTIES TIMEOUT 600)
    endfunction()

    add_library(kavora_test_support STATIC ${KAVORA_WIN_TEST_SUPPORT} ${KAVORA_TEST_SUPPORT} ${KAVORA_CLI_TEST_SUPPORT})
    target_link_libraries(kavora_test_support PUBLIC kavora_app kavora_emu kavora_cli_start gtest)
    target_compile_options(kavora_test_support PRIVATE ${KAVORA_TEST_OPTIMISATION})

    add_executable(portable_tests ${KAVORA_PORTABLE_TESTS} ${KAVORA_TEST_SUPPORT})
    target_link_libraries(portable_tests PRIVATE kavora_core kavora_emu gtest_main)
    target_compile_options(portable_tests PRIVATE ${KAVORA_TEST_OPTIMISATION})
    kavora_wine_test(portable_tests)

    # The demo program, driving its own dialog, on every system family.
    add_test(NAME demo_families
             COMMAND ${CMAKE_SOURCE_DIR}/tools/demo-families.sh $<TARGET_FILE:kavora_demo>)
    set_tests_properties(demo_families PROPERTIES TIMEOUT 300)
    # kavora-cli's demo, as a user runs it, on every system family.
    add_test(NAME cli_families
             COMMAND ${CMAKE_SOURCE_DIR}/tools/demo-families.sh $<TARGET_FILE:kavora-cli-demo>)
    set_tests_properties(cli_families PROPERTIES TIMEOUT 300)

    foreach(src ${KAVORA_WIN_TESTS})
        get_filename_component(name ${src} NAME_WE)
        add_executable(${name} ${src} ${KAVORA_RES})
        target_link_libraries(${name} PRIVATE kavora_test_support gtest_main)
        target_compile_options(${name} PRIVATE ${KAVORA_TEST_OPTIMISATION})
        kavora_wine_test(${name})
    endforeach()
    # The product binary is started by its test as a separate program.
    target_link_libraries(product_start_test PRIVATE version)
    # It compares the version resource with the header --version is made from.
    target_include_directories(product_start_test PRIVATE ${CMAKE_BINARY_DIR}/generated)
    # It reads the version resource and the icon of the console program too.
    add_dependencies(product_start_test kavora kavora-cli)
    set_tests_properties(product_start_test PROPERTIES
        ENVIRONMENT "KAVORA_EXE=$<TARGET_FILE:kavora>;KAVORA_CLI_EXE=$<TARGET_FILE:kavora-cli>")
else()
    add_executable(portable_tests ${KAVORA_PORTABLE_TESTS} ${KAVORA_TEST_SUPPORT})
    target_link_libraries(portable_tests PRIVATE kavora_core kavora_emu gtest_main)
    target_compile_options(portable_tests PRIVATE ${KAVORA_TEST_OPTIMISATION})
    add_test(NAME portable_tests COMMAND portable_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

    if(TARGET kavora_cli)
        # The Linux program and its SG_IO transport against virtual drives.
        file(GLOB KAVORA_LINUX_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/linux/*.cpp)
        add_executable(linux_tests ${KAVORA_LINUX_TESTS} ${KAVORA_CLI_TEST_SUPPORT})
        target_link_libraries(linux_tests PRIVATE kavora_cli kavora_emu gtest_main)
        target_compile_options(linux_tests PRIVATE ${KAVORA_TEST_OPTIMISATION})
        add_test(NAME linux_tests COMMAND linux_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    endif()
endif()
