# The portable part of the device layer: the transport seam, the adapter the
# drive commands use, and the facts of the command set. Links to nothing.
add_library(kavora_device STATIC
    device/command_exec.cpp
)
