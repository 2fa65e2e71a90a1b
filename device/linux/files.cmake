# How the Linux program reaches its drives: SG_IO, the drives sysfs lists,
# sense data in words (libsgutils2's tables), and one writer per drive.
add_library(kavora_device_linux STATIC
    device/linux/sg_io_transport.cpp
    device/linux/drive_nodes.cpp
    device/linux/sense_text.cpp
    device/linux/drive_lock.cpp
    device/linux/mount_points.cpp
)
target_link_libraries(kavora_device_linux PUBLIC kavora_device sgutils2)
