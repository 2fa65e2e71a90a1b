list(APPEND KAVORA_WIN
    controls/rich_label.cpp
    controls/rich_label_paint.cpp
    controls/text_image.cpp
    controls/tool_tip.cpp
    app/warning_dlg.cpp
)
