# The stub that the native sfxpack carries: built from these sources with the
# cross toolchain, in a stub-only tree of its own inside the native build, with
# the cross build's flags, so it is the same bytes as the cross build's stub.
include(ExternalProject)

set(SFX_STUB_TREE ${CMAKE_BINARY_DIR}/stub)
set(SFX_EMBEDDED_STUB ${SFX_STUB_TREE}/update_sfx/update_sfx.exe)

ExternalProject_Add(launcher_stub
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${SFX_STUB_TREE}
    PREFIX ${CMAKE_BINARY_DIR}/stub-steps
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
               -DSFX_STUB_ONLY=ON -DSFX_SOURCE_DATE_EPOCH=${SFX_SOURCE_DATE_EPOCH} -Wno-dev
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${SFX_STUB_TREE} --target update_sfx
    INSTALL_COMMAND ""
    # The stub tree decides itself what to rebuild when a source changes.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${SFX_EMBEDDED_STUB}
    LOG_CONFIGURE ON
    LOG_BUILD ON
    LOG_OUTPUT_ON_FAILURE ON)
