# Tests of the rules layer: they include no <windows.h> and also run natively.
set(SFX_RULES_TESTS
    ${CMAKE_SOURCE_DIR}/tests/unit/package/version_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/package/checksum_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/package/header_walk_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/discovery/scramble_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/package/image_layout_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/selection/version_gate_test.cpp
)
