# kavora-cli, the Linux program: its commands over the engine and the
# kernel's drives.
add_library(kavora_cli STATIC
    cli/options.cpp
    cli/option_table.cpp
    cli/help_text.cpp
    cli/console.cpp
    cli/screen.cpp
    cli/board.cpp
    cli/commands.cpp
    cli/command_steps.cpp
    cli/upgrade.cpp
    cli/drive_choice.cpp
    cli/tower_choice.cpp
    cli/image_report.cpp
    cli/verdict.cpp
    cli/verbose_transport.cpp
    cli/stop_signals.cpp
    cli/linux_drives.cpp
)
find_package(Threads REQUIRED)
target_link_libraries(kavora_cli PUBLIC kavora_core kavora_device_linux Threads::Threads)

# --json through nlohmann's library (header only).
find_package(nlohmann_json 3 REQUIRED)
target_link_libraries(kavora_cli PUBLIC nlohmann_json::nlohmann_json)

# --version: the project's version and the source revision of this build.
add_dependencies(kavora_cli kavora_revision)
target_include_directories(kavora_cli PRIVATE ${CMAKE_BINARY_DIR}/generated)

add_executable(kavora-cli cli/main.cpp)
target_link_libraries(kavora-cli PRIVATE kavora_cli)

# Installed as a Linux tool: the program, its manual page and its bash
# completion. The fuzz build shares this file and installs nothing.
if(NOT KAVORA_FUZZ)
    include(GNUInstallDirs)
    find_program(SCDOC scdoc)
    if(NOT SCDOC)
        message(FATAL_ERROR "scdoc was not found; kavora-cli's manual page is written with it. "
                            "Install the Debian package scdoc, or run tools/install-deps.sh as root.")
    endif()
    # Through a scratch file, so that a failed scdoc leaves no page that looks
    # up to date.
    set(KAVORA_CLI_PAGE ${CMAKE_BINARY_DIR}/kavora-cli.1)
    add_custom_command(OUTPUT ${KAVORA_CLI_PAGE}
        COMMAND ${SCDOC} < ${CMAKE_SOURCE_DIR}/cli/kavora-cli.1.scd > ${KAVORA_CLI_PAGE}.part
        COMMAND ${CMAKE_COMMAND} -E rename ${KAVORA_CLI_PAGE}.part ${KAVORA_CLI_PAGE}
        DEPENDS ${CMAKE_SOURCE_DIR}/cli/kavora-cli.1.scd
        COMMENT "Writing the manual page kavora-cli.1"
        VERBATIM)
    add_custom_target(kavora-cli-man ALL DEPENDS ${KAVORA_CLI_PAGE})

    install(TARGETS kavora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${KAVORA_CLI_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_SOURCE_DIR}/cli/kavora-cli.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME kavora-cli)
endif()
