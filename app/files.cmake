# The Windows program's front end: the dialogs, the Upgrade command, the
# routines the engine reports through, and the worker thread.
add_library(kavora_app STATIC
    app/aspi_messages.cpp
    app/failure_words.cpp
    app/flash_dlg.cpp
    app/status_log.cpp
    app/taskbar_progress.cpp
    app/upgrade_command.cpp
    app/upgrade_thread.cpp
    app/warning_dlg.cpp
)
target_link_libraries(kavora_app PUBLIC kavora_controls kavora_framework kavora_core kavora_device_win ole32 uuid)
# The application object: a source of each program rather than part of the
# library, since nothing refers to it by name and an archive member nobody
# refers to is never linked.
set(KAVORA_APP_OBJECT app/flash_app.cpp)
