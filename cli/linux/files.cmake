# kavora-cli for Linux: the drives sysfs lists, SG_IO, the signals, and
# libsgutils2's words; installed with its manual page and bash completion.
add_library(kavora_cli_linux STATIC
    cli/linux/linux_drives.cpp
    cli/linux/stop_signals.cpp
    cli/linux/system_words.cpp
    cli/linux/help_words.cpp
    cli/linux/terminal.cpp
)
find_package(Threads REQUIRED)
target_link_libraries(kavora_cli_linux PUBLIC kavora_core kavora_device_linux Threads::Threads)
# The portable part declares what it needs of the system (cli/drive_access.h,
# cli/system_words.h, cli/stop_signals.h); this part defines it.
target_link_libraries(kavora_cli PUBLIC kavora_cli_linux)

add_executable(kavora-cli cli/linux/main.cpp)
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
    set(KAVORA_CLI_PAGE ${CMAKE_BINARY_DIR}/kavora-cli.8)
    add_custom_command(OUTPUT ${KAVORA_CLI_PAGE}
        COMMAND ${SCDOC} < ${CMAKE_SOURCE_DIR}/cli/kavora-cli.8.scd > ${KAVORA_CLI_PAGE}.part
        COMMAND ${CMAKE_COMMAND} -E rename ${KAVORA_CLI_PAGE}.part ${KAVORA_CLI_PAGE}
        DEPENDS ${CMAKE_SOURCE_DIR}/cli/kavora-cli.8.scd
        COMMENT "Writing the manual page kavora-cli.8"
        VERBATIM)
    add_custom_target(kavora-cli-man ALL DEPENDS ${KAVORA_CLI_PAGE})

    install(TARGETS kavora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${KAVORA_CLI_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
    install(FILES ${CMAKE_SOURCE_DIR}/cli/kavora-cli.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME kavora-cli)
endif()
