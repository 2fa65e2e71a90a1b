# kavora-cli, the command-line program: its commands over the engine, in
# portable code, and each system's part: how it finds and reaches drives,
# asks to stop, and speaks of a failed request.
add_library(kavora_cli STATIC
    cli/program.cpp
    cli/exit_status.cpp
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
)
target_link_libraries(kavora_cli PUBLIC kavora_core)

# --json through nlohmann's library (header only). The cross builds find the
# header where Debian puts it, without the rest of the machine's headers.
if(KAVORA_WINDOWS)
    find_path(KAVORA_NLOHMANN_JSON nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    if(NOT KAVORA_NLOHMANN_JSON)
        message(FATAL_ERROR "nlohmann/json.hpp was not found; install the Debian package nlohmann-json3-dev, "
                            "or run tools/install-deps.sh as root.")
    endif()
    # Only nlohmann's folder, through a folder of its own: /usr/include
    # itself would put the machine's C library in front of mingw's.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json-include)
    file(CREATE_LINK ${KAVORA_NLOHMANN_JSON}/nlohmann ${CMAKE_BINARY_DIR}/json-include/nlohmann SYMBOLIC)
    target_include_directories(kavora_cli SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/json-include)
else()
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(kavora_cli PUBLIC nlohmann_json::nlohmann_json)
endif()

# --version: the project's version and the source revision of this build.
add_dependencies(kavora_cli kavora_revision)
target_include_directories(kavora_cli PRIVATE ${CMAKE_BINARY_DIR}/generated)

if(KAVORA_WINDOWS)
    include(cli/win/files.cmake)
else()
    include(cli/linux/files.cmake)
endif()
