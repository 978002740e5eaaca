# The stub: no C runtime, entry RunLauncher, the image properties publishers
# rely on (relocatable, DEP, terminal-server aware, no SEH, no symbols).
add_executable(update_sfx WIN32
    ${CMAKE_CURRENT_SOURCE_DIR}/launcher/launcher.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/launcher/crt.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/update_sfx.rc)
target_compile_options(update_sfx PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${SFX_STUB_FLAGS}>)
# The copy loops must not be turned back into calls to themselves.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/launcher/crt.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/resources/update_sfx.rc PROPERTIES
    COMPILE_OPTIONS "--codepage=65001;-I${CMAKE_CURRENT_SOURCE_DIR}/resources")
target_link_libraries(update_sfx PRIVATE sfx_glue gcc)
target_link_options(update_sfx PRIVATE -nostdlib -nostartfiles -e _RunLauncher@0 -mwindows -s
    -Wl,--dynamicbase,--nxcompat,--tsaware,--no-seh
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,0)
# Nothing of the C and C++ runtimes may be linked by default.
set_target_properties(update_sfx PROPERTIES LINKER_LANGUAGE CXX)

# The image carries no link time, so two builds of one commit give the same
# bytes (the linker computes the image checksum from them, so it follows).
# A release that wants a date sets SOURCE_DATE_EPOCH; it is read when the
# build is configured and handed to the linker, so the build itself need not
# carry the variable.
if(NOT DEFINED SFX_SOURCE_DATE_EPOCH)
    set(SFX_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
endif()
if(SFX_SOURCE_DATE_EPOCH STREQUAL "")
    target_link_options(update_sfx PRIVATE -Wl,--no-insert-timestamp)
else()
    # The image's time stamp is 32 bits of seconds since 1970.
    if(NOT SFX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" OR SFX_SOURCE_DATE_EPOCH GREATER 4294967295)
        message(FATAL_ERROR "SOURCE_DATE_EPOCH is ${SFX_SOURCE_DATE_EPOCH}; the stub needs whole seconds since "
                            "1970 that fit in 32 bits")
    endif()
    target_link_options(update_sfx PRIVATE -Wl,--insert-timestamp)
    set_target_properties(update_sfx PROPERTIES
        CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${SFX_SOURCE_DATE_EPOCH}")
endif()
