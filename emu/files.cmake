list(APPEND KAVORA_EMU_PORTABLE
    emu/virtual_drive.cpp
)
list(APPEND KAVORA_EMU_NATIVE
    emu/direct_exec.cpp
    emu/drive_rig_native.cpp
)
