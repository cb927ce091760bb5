# The Linux program for armhf, against Debian 11 (see linux-sysroot.cmake).
set(OSTRAEL_SYSROOT_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-sysroot.cmake)
