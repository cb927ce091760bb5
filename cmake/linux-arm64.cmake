# The Linux program for arm64, against Debian 11 (see linux-sysroot.cmake).
set(OSTRAEL_SYSROOT_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-sysroot.cmake)
