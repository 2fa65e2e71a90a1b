list(APPEND KAVORA_PORTABLE
    app/model_list.cpp
)
list(APPEND KAVORA_WIN
    app/flash_dlg.cpp
    app/status_log.cpp
    app/upgrade_command.cpp
    flash/upgrade_thread.cpp
)
list(APPEND KAVORA_MAIN
    app/flash_app.cpp
)
list(APPEND KAVORA_DEMO
    app/flash_app.cpp
)
