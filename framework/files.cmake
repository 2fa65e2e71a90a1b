# The small application framework the Windows program is written against.
add_library(kavora_framework STATIC
    framework/accessibility.cpp
    framework/app.cpp
    framework/controls.cpp
    framework/dialog.cpp
    framework/dpi.cpp
    framework/system_colours.cpp
    framework/ui_seam.cpp
    framework/wnd.cpp
)
target_link_libraries(kavora_framework PUBLIC comctl32 gdi32 user32 shell32 msimg32 ole32 uuid)
# The product's entry point (the demo has one of its own).
set(KAVORA_WINMAIN framework/winmain.cpp)
# Every program links the framework, and every program's resources name the
# source revision: the header is written before any of them is compiled.
add_dependencies(kavora_framework kavora_revision)
