# The virtual drive and, under Windows, the virtual machine behind the device
# seam: for tests, the benchmark and the demo; never in the product.
add_library(kavora_emu STATIC
    emu/virtual_drive.cpp
    emu/virtual_drive_transport.cpp
    emu/machine_file.cpp
)
if(KAVORA_WINDOWS)
    target_sources(kavora_emu PRIVATE
        emu/virtual_machine.cpp
        emu/virtual_aspi.cpp
        emu/virtual_exclusive.cpp
        emu/virtual_power.cpp
        emu/drive_rig_win.cpp
        emu/machine_build.cpp
    )
    target_link_libraries(kavora_emu PUBLIC kavora_device_win)
else()
    target_sources(kavora_emu PRIVATE emu/drive_rig_native.cpp)
    target_link_libraries(kavora_emu PUBLIC kavora_device)
endif()
