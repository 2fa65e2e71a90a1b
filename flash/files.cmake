list(APPEND KAVORA_PORTABLE
    flash/clock.cpp
    flash/run_stage.cpp
    flash/flash_errors.cpp
    flash/image_buffer.cpp
    flash/flash_engine.cpp
    flash/image_loader.cpp
    flash/hex_loader.cpp
    flash/identity_scan.cpp
    flash/upgrade.cpp
    flash/engine_run.cpp
    device/drive_commands.cpp
)
