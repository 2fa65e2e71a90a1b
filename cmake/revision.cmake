# Writes OUT with the source revision the build is made from, at every build,
# and touches it only when the revision changed: --version names the commit
# even after commits made since the build folder was configured.
#   cmake -DSOURCE=<checkout> -DVERSION=<x.yy> -DOUT=<header> -P revision.cmake
execute_process(COMMAND git -C ${SOURCE} rev-parse --short=12 HEAD
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0 OR revision STREQUAL "")
    set(revision unknown)
endif()
set(text "#define KAVORA_VERSION \"${VERSION}\"\n#define KAVORA_REVISION \"${revision}\"\n")
if(EXISTS ${OUT})
    file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
    file(WRITE ${OUT} "${text}")
endif()
