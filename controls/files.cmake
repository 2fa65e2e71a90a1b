# The custom controls: rich label, its painting, the tooltip window, and
# pictures for the screen's scale.
add_library(kavora_controls STATIC
    controls/rich_label.cpp
    controls/rich_label_paint.cpp
    controls/scaled_bitmap.cpp
    controls/text_image.cpp
    controls/tool_tip.cpp
)
target_link_libraries(kavora_controls PUBLIC kavora_framework)
