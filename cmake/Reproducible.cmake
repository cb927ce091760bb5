# Release builds that anyone can repeat byte for byte: nothing of the builder's checkout path or
# clock goes into the programs. The release presets turn this on; day-to-day builds keep their
# absolute paths so debuggers find the sources.
option(OSTRAEL_REPRODUCIBLE "Leave the checkout's path and the build time out of the programs" OFF)

# Archives without owners, modes or times, whatever binutils defaults to.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

if(OSTRAEL_REPRODUCIBLE)
  # The build tree sits inside the source tree, so the longer prefix comes first.
  add_compile_options("-ffile-prefix-map=${PROJECT_BINARY_DIR}=build" "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
  if(WIN32)
    # The PE header's link time is SOURCE_DATE_EPOCH when set (tools/release.sh sets it), else 0.
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      add_link_options(-Wl,--insert-timestamp)
    else()
      add_link_options(-Wl,--no-insert-timestamp)
    endif()
  endif()
endif()
