list(APPEND KAVORA_WIN
    framework/app.cpp
    framework/controls.cpp
    framework/dialog.cpp
    framework/ui_seam.cpp
    framework/wnd.cpp
)
list(APPEND KAVORA_MAIN
    framework/winmain.cpp
)
