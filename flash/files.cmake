# The engine: image loading and checks, the drive commands, the upgrade
# procedure, and the model list. Portable; it reaches a drive only through
# the transport its caller hands it.
add_library(kavora_core STATIC
    flash/clock.cpp
    flash/flash_errors.cpp
    flash/image_buffer.cpp
    flash/flash_engine.cpp
    flash/image_loader.cpp
    flash/hex_loader.cpp
    flash/hex_lines.cpp
    flash/identity_scan.cpp
    flash/drive_commands.cpp
    flash/upgrade.cpp
    flash/engine_run.cpp
    flash/model_list.cpp
    flash/image_kind.cpp
    flash/stop_request.cpp
    flash/run_outcome.cpp
    flash/run_progress.cpp
    flash/run_words.cpp
)
target_link_libraries(kavora_core PUBLIC kavora_device)
