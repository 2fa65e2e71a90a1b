# The demo program: the product's front end with the virtual machine behind it.
add_executable(kavora_demo WIN32
    demo/demo_driver.cpp
    demo/demo_main.cpp
    demo/window_bitmap.cpp
    ${KAVORA_APP_OBJECT}
    ${KAVORA_RES}
)
target_link_libraries(kavora_demo PRIVATE kavora_app kavora_emu)

# The demo of kavora-cli: the product's command line over the same machine.
add_executable(kavora-cli-demo demo/cli_demo_main.cpp)
target_link_libraries(kavora-cli-demo PRIVATE kavora_cli_start kavora_emu)
