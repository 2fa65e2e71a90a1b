list(APPEND KAVORA_DEMO
    demo/demo_driver.cpp
    demo/demo_main.cpp
    demo/window_bitmap.cpp
)
