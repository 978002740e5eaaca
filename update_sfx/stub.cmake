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
# windres reports no dependencies: a changed manifest rebuilds the resources only when named here.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/resources/update_sfx.rc PROPERTIES
    COMPILE_OPTIONS "--codepage=65001;-I${CMAKE_CURRENT_SOURCE_DIR}/resources"
    OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/update_sfx.manifest;${CMAKE_CURRENT_SOURCE_DIR}/resources/update_sfx_amd64.manifest;${CMAKE_CURRENT_SOURCE_DIR}/resources/resource.h")
target_link_libraries(update_sfx PRIVATE sfx_glue gcc)
# Only 32-bit x86 decorates a stdcall name; the 64-bit build is for the tests.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(sfx_stub_entry RunLauncher)
else()
    set(sfx_stub_entry _RunLauncher@0)
endif()
# Functions nothing calls are dropped; stub.ld packs the sections tightly.
target_link_options(update_sfx PRIVATE -nostdlib -nostartfiles -e ${sfx_stub_entry} -mwindows -s
    -Wl,--dynamicbase,--nxcompat,--tsaware,--no-seh,--gc-sections
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,0
    -Wl,-T,${CMAKE_CURRENT_SOURCE_DIR}/stub.ld)
# The linker script and the post-link step below shape the stub: a change to either relinks it.
set_target_properties(update_sfx PROPERTIES
    LINK_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/stub.ld;${PROJECT_SOURCE_DIR}/cmake/run_from_swap.pl")
# Nothing of the C and C++ runtimes may be linked by default.
set_target_properties(update_sfx PROPERTIES LINKER_LANGUAGE CXX)

# Builds of one commit give the same stub, byte for byte.
sfx_image_time_stamp(update_sfx)

# Started from a network share or a USB stick, the stub's own pages are read
# from the page file rather than from a medium that may vanish mid-run.
find_program(SFX_PERL perl REQUIRED)
add_custom_command(TARGET update_sfx POST_BUILD
    COMMAND ${SFX_PERL} ${PROJECT_SOURCE_DIR}/cmake/run_from_swap.pl $<TARGET_FILE:update_sfx>
    VERBATIM)
