set(CMAKE_SYSTEM_PROCESSOR i686)
set(TINTMARK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Its tests run under Wine's 32-bit loader where this machine executes
# 32-bit code (scripts/test-i686.sh decides; under emulation only a sample
# conversion is run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run-i686.sh)
