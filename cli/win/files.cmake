# kavora-cli for Windows: the drives the dialog's scan finds, pass-through,
# the console's Ctrl-C, and the words of the tables made at build time.
add_library(kavora_cli_win STATIC
    cli/win/windows_drives.cpp
    cli/win/stop_signals.cpp
    cli/win/system_words.cpp
    cli/win/help_words.cpp
    cli/win/terminal.cpp
    cli/win/console_setup.cpp
)
find_package(Threads REQUIRED)
target_link_libraries(kavora_cli_win PUBLIC kavora_core kavora_device_win Threads::Threads)
# The portable part declares what it needs of the system (cli/drive_access.h,
# cli/system_words.h, cli/stop_signals.h, cli/terminal.h); this part defines it.
target_link_libraries(kavora_cli PUBLIC kavora_cli_win)

# What main() does before the commands: a library of its own, which the demo
# program of kavora-cli (demo/) shares.
add_library(kavora_cli_start STATIC cli/win/program_start.cpp)
target_link_libraries(kavora_cli_start PUBLIC kavora_cli)

# A console program; the release names the 64-bit twin kavora-cli64.exe.
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/kavora_cli.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/generated/kavora_revision.h;${CMAKE_SOURCE_DIR}/res/kavora.ico"
    COMPILE_DEFINITIONS KAVORA_PROGRAM=kavora-cli${KAVORA_PROGRAM_SUFFIX})
add_executable(kavora-cli cli/win/main.cpp ${CMAKE_SOURCE_DIR}/res/kavora_cli.rc)
target_link_libraries(kavora-cli PRIVATE kavora_cli_start)
add_dependencies(kavora-cli kavora_revision)
