# The Linux program for amd64, against Debian 11 (see linux-sysroot.cmake).
set(OSTRAEL_SYSROOT_ARCH amd64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-sysroot.cmake)
