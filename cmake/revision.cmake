# Writes OUT with the source revision the build is made from, at every build,
# and touches it only when the revision changed: --version names the commit
# even after commits made since the build folder was configured. Where there
# is no git, the revision is "unknown".
#   cmake -DSOURCE=<checkout> -DVERSION=<x.yy> -DOUT=<header> -P revision.cmake
execute_process(COMMAND git -C ${SOURCE} rev-parse --short=12 HEAD
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0 OR revision STREQUAL "")
    set(revision unknown)
endif()
# The version's numbers too, for the version resource's binary fields
# (2.70 is 2,70,0,0 there).
if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "the version '${VERSION}' is not <major>.<minor>")
endif()
string(CONCAT text "#define KAVORA_VERSION \"${VERSION}\"\n#define KAVORA_REVISION \"${revision}\"\n"
                   "#define KAVORA_VERSION_MAJOR ${CMAKE_MATCH_1}\n#define KAVORA_VERSION_MINOR ${CMAKE_MATCH_2}\n")
if(EXISTS ${OUT})
    file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
    file(WRITE ${OUT} "${text}")
endif()
