list(APPEND KAVORA_EMU_PORTABLE
    emu/drive_rig.cpp
    emu/virtual_drive.cpp
    emu/machine_file.cpp
)
list(APPEND KAVORA_EMU_NATIVE
    emu/direct_exec.cpp
    emu/drive_rig_native.cpp
)
list(APPEND KAVORA_EMU_WIN
    emu/virtual_machine.cpp
    emu/virtual_aspi.cpp
    emu/virtual_power.cpp
    emu/drive_rig_win.cpp
    emu/machine_build.cpp
)
