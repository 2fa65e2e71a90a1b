list(APPEND KAVORA_WIN
    device/device_io.cpp
)
