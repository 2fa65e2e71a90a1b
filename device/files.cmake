# The portable part of the device layer: the transport seam, the adapter the
# drive commands use, the facts of the command set, and sense in words. Links
# to nothing: the words' table is made at build time from libsgutils2 by a
# small program built for this machine, whatever the build's target.
find_program(KAVORA_HOST_CXX NAMES c++ g++ NO_CMAKE_FIND_ROOT_PATH)
if(NOT KAVORA_HOST_CXX)
    message(FATAL_ERROR "no C++ compiler for this machine to make the sense table with; run tools/install-deps.sh")
endif()
set(KAVORA_SENSE_TABLE ${CMAKE_BINARY_DIR}/generated/sense_table.cpp)
add_custom_command(OUTPUT ${KAVORA_SENSE_TABLE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${KAVORA_HOST_CXX} -std=c++17 -O1 ${CMAKE_SOURCE_DIR}/tools/sense_table_gen.cpp -lsgutils2
            -o ${CMAKE_BINARY_DIR}/generated/sense_table_gen
    COMMAND ${CMAKE_BINARY_DIR}/generated/sense_table_gen > ${KAVORA_SENSE_TABLE}.part
    COMMAND ${CMAKE_COMMAND} -E rename ${KAVORA_SENSE_TABLE}.part ${KAVORA_SENSE_TABLE}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/sense_table_gen.cpp
    COMMENT "Making the sense table from libsgutils2"
    VERBATIM)

add_library(kavora_device STATIC
    device/command_exec.cpp
    device/sense_data.cpp
    device/sense_words.cpp
    ${KAVORA_SENSE_TABLE}
)
