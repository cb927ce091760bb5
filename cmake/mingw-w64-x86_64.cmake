# Cross build for 64-bit Windows, for running the Windows tests under wine64 on a host that runs no
# 32-bit x86 code. The shipped program stays the 32-bit one (mingw-w64-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
