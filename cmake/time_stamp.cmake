# Windows images of one commit are the same bytes whenever they are built:
# the linker writes no time stamp (and computes the image checksum from the
# bytes, so it follows them). A release that wants a date sets
# SOURCE_DATE_EPOCH; it is read when the build is configured and handed to
# the linker, so the build itself need not carry the variable.
if(NOT DEFINED SFX_SOURCE_DATE_EPOCH)
    set(SFX_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
endif()
# The image's time stamp is 32 bits of seconds since 1970.
if(NOT SFX_SOURCE_DATE_EPOCH STREQUAL ""
   AND (NOT SFX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" OR SFX_SOURCE_DATE_EPOCH GREATER 4294967295))
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is ${SFX_SOURCE_DATE_EPOCH}; Windows images need whole seconds since "
                        "1970 that fit in 32 bits")
endif()

function(sfx_image_time_stamp target)
    if(SFX_SOURCE_DATE_EPOCH STREQUAL "")
        target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
    else()
        target_link_options(${target} PRIVATE -Wl,--insert-timestamp)
        set_target_properties(${target} PROPERTIES
            CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${SFX_SOURCE_DATE_EPOCH}")
    endif()
endfunction()
