# How a Windows program reaches its drives: the device seam, ASPI binding,
# discovery, and the pass-through and ASPI transports.
add_library(kavora_device_win STATIC
    device/win/device_io.cpp
    device/win/aspi_binding.cpp
    device/win/drive_scan.cpp
    device/win/pass_through.cpp
    device/win/aspi_transport.cpp
    device/win/drive_transport.cpp
)
target_link_libraries(kavora_device_win PUBLIC kavora_device)
# One writer per drive, made of named system objects, and the system's words
# for an error: the stand-in for Windows of the fuzz build offers neither.
if(KAVORA_WINDOWS)
    target_sources(kavora_device_win PRIVATE device/win/drive_lock.cpp device/win/system_text.cpp)
endif()
