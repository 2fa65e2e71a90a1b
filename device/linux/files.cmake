# How the Linux program reaches its drives: SG_IO, the drives sysfs lists,
# and sense data in words (libsgutils2's tables).
add_library(kavora_device_linux STATIC
    device/linux/sg_io_transport.cpp
    device/linux/drive_nodes.cpp
    device/linux/sense_text.cpp
)
target_link_libraries(kavora_device_linux PUBLIC kavora_device sgutils2)
