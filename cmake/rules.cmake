# The rules layer: pure functions over bytes and text, without <windows.h>,
# shared by the launcher, the tools and the native sanitizer and fuzz builds.
set(SFX_RULES_SOURCES
    ${CMAKE_SOURCE_DIR}/update_sfx/package/version.cpp
    ${CMAKE_SOURCE_DIR}/update_sfx/package/header_walk.cpp
    ${CMAKE_SOURCE_DIR}/update_sfx/discovery/scramble.cpp
    ${CMAKE_SOURCE_DIR}/update_sfx/package/image_layout.cpp
    ${CMAKE_SOURCE_DIR}/update_sfx/package/checksum.cpp
    ${CMAKE_SOURCE_DIR}/update_sfx/selection/version_gate.cpp
    ${CMAKE_SOURCE_DIR}/update_sfx/launcher/profile.cpp
)
