# kavora-cli, the Linux program: its commands over the engine and the
# kernel's drives.
add_library(kavora_cli STATIC
    cli/options.cpp
    cli/console.cpp
    cli/commands.cpp
    cli/stop_signals.cpp
    cli/linux_drives.cpp
)
target_link_libraries(kavora_cli PUBLIC kavora_core kavora_device_linux)

add_executable(kavora-cli cli/main.cpp)
target_link_libraries(kavora-cli PRIVATE kavora_cli)
