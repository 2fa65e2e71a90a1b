list(APPEND KAVORA_WIN
    device/device_io.cpp
    device/aspi_binding.cpp
    device/command_exec.cpp
    device/drive_scan.cpp
)
