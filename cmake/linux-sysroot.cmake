# The Linux program for one processor (OSTRAEL_SYSROOT_ARCH: amd64, arm64 or armhf), built against
# a Debian 11 tree that tools/sysroot.sh makes once under build/sysroot/, so that it needs no more
# than glibc 2.28 and no GLIBCXX version at all. Included by linux-<arch>.cmake.
set(CMAKE_SYSTEM_NAME Linux)
set(arch ${OSTRAEL_SYSROOT_ARCH})
if(arch STREQUAL amd64)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
  set(triple x86_64-linux-gnu)
  set(compiler_prefix "")
elseif(arch STREQUAL arm64)
  set(CMAKE_SYSTEM_PROCESSOR aarch64)
  set(triple aarch64-linux-gnu)
  set(compiler_prefix ${triple}-)
elseif(arch STREQUAL armhf)
  set(CMAKE_SYSTEM_PROCESSOR armv7l)
  set(triple arm-linux-gnueabihf)
  set(compiler_prefix ${triple}-)
else()
  message(FATAL_ERROR "OSTRAEL_SYSROOT_ARCH must be amd64, arm64 or armhf")
endif()
set(CMAKE_C_COMPILER ${compiler_prefix}gcc)
set(CMAKE_CXX_COMPILER ${compiler_prefix}g++)

# OSTRAEL_SYSROOTS lets another checkout share the trees of the first.
if(DEFINED ENV{OSTRAEL_SYSROOTS})
  set(sysroot $ENV{OSTRAEL_SYSROOTS}/${arch})
else()
  get_filename_component(sysroot ${CMAKE_CURRENT_LIST_DIR}/../build/sysroot/${arch} ABSOLUTE)
endif()
if(NOT EXISTS ${sysroot}/.complete)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../tools/sysroot.sh ${arch} ${sysroot} RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "could not make the ${arch} sysroot in ${sysroot}")
  endif()
endif()
set(CMAKE_SYSROOT ${sysroot})
set(CMAKE_FIND_ROOT_PATH ${sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${sysroot})
set(ENV{PKG_CONFIG_LIBDIR} ${sysroot}/usr/lib/${triple}/pkgconfig:${sysroot}/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# pkgconf prefixes the sysroot to each .pc variable, cuts the flags made of them at spaces, and
# prefixes each -I and -L piece that does not start with the sysroot: a sysroot with a space comes
# out twice and cut in two. Its other rules, freedesktop pkg-config's, prefix only the -I and -L,
# once, and escape a space as "\ ".
set(ENV{PKG_CONFIG_FDO_SYSROOT_RULES} 1)

# Debian's compilers search their own C library (2.36) before the sysroot's: the cross compilers
# its headers under /usr/<triple>/include, startup files and libc.so under /usr/<triple>/lib. So
# the C headers come only from the sysroot, after the compiler's own C++ and built-in headers,
# the startup files from the sysroot (-B; bookworm's crt1.o asks for __libc_start_main@2.34), and
# the sysroot's library folders go first on the link line.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include OUTPUT_VARIABLE builtin OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -E -v -x c++ /dev/null ERROR_VARIABLE search OUTPUT_QUIET)
string(REGEX MATCHALL "\n [^\n]*/c\\+\\+/[^\n]*" cxx_dirs "${search}")
# The *_FLAGS_INIT strings are command-line text, pasted into each command as they are: every
# path in them is quoted, so that a checkout under a folder with a space in its name builds too.
set(c_includes "-nostdinc")
set(cxx_includes "-nostdinc")
foreach(d IN LISTS cxx_dirs)
  string(STRIP "${d}" d)
  string(APPEND cxx_includes " -isystem \"${d}\"")
endforeach()
foreach(d IN ITEMS "${builtin}" "${sysroot}/usr/include/${triple}" "${sysroot}/usr/include")
  string(APPEND c_includes " -isystem \"${d}\"")
  string(APPEND cxx_includes " -isystem \"${d}\"")
endforeach()
# The tree's GTK and GLib are newer than the oldest the programs promise to load on (RHEL 8's GTK
# 3.22 and GLib 2.56): with these ceilings their headers mark each newer call deprecated, and that
# warning stops the build.
set(ceilings "-DGDK_VERSION_MIN_REQUIRED=GDK_VERSION_3_22 -DGDK_VERSION_MAX_ALLOWED=GDK_VERSION_3_22")
string(APPEND ceilings " -DGLIB_VERSION_MIN_REQUIRED=GLIB_VERSION_2_56 -DGLIB_VERSION_MAX_ALLOWED=GLIB_VERSION_2_56")
string(APPEND ceilings " -Werror=deprecated-declarations")
set(CMAKE_C_FLAGS_INIT "${c_includes} ${ceilings}")
set(CMAKE_CXX_FLAGS_INIT "${cxx_includes} ${ceilings}")
set(link "-B\"${sysroot}/usr/lib/${triple}/\"")
foreach(d IN ITEMS "${sysroot}/usr/lib/${triple}" "${sysroot}/lib/${triple}")
  string(APPEND link " -L\"${d}\" -Wl,-rpath-link,\"${d}\"")
endforeach()
# libstdc++ and libgcc's helpers go into the program, so it needs no GLIBCXX version. libgcc_s
# stays the system's: bookworm's static unwinder asks for _dl_find_object (glibc 2.35).
string(APPEND link " -static-libstdc++ -pthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${link}")
# The system's loader finds the system's libraries; a run path could only name the sysroot. CMake
# leaves out the folders the linker searches anyway, but it learns them from the compiler's
# verbose link line, which it splits at spaces: under a folder with a space, it would add one.
set(CMAKE_SKIP_RPATH ON)
set(OSTRAEL_GLIBC_FLOOR ON)
