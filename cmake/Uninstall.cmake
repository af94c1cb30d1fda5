# cmake -D MANIFEST=<build>/install_manifest.txt [-D PREFIX=<prefix>] -P cmake/Uninstall.cmake
# Removes exactly the files an install wrote, as CMake listed them, then the folders
# named after the program once they are empty. Other folders stay, even empty: the
# install may have found them there (~/.local/bin, share/man/man1).
# With PREFIX, nothing is removed unless every listed file lies in it: CPack and a
# `cmake --install` to another prefix rewrite the same manifest, and an uninstall must
# never reach into /usr for files a package put there.

if(NOT MANIFEST OR NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "No install manifest at '${MANIFEST}': nothing was installed from this build.")
endif()
file(STRINGS "${MANIFEST}" installed)
if(PREFIX)
  get_filename_component(PREFIX "${PREFIX}" ABSOLUTE)
  string(REGEX REPLACE "/+$" "" PREFIX "${PREFIX}")
  foreach(path IN LISTS installed)
    string(FIND "${path}" "${PREFIX}/" at)
    if(NOT at EQUAL 0)
      message(FATAL_ERROR "The last install from this build was not into '${PREFIX}' (it wrote '${path}'):"
                          " nothing removed. Give the PREFIX it was installed into.")
    endif()
  endforeach()
endif()
set(removed 0)
set(failed)
set(folders)
foreach(path IN LISTS installed)
  if(IS_SYMLINK "${path}" OR EXISTS "${path}")
    file(REMOVE "${path}")
    if(IS_SYMLINK "${path}" OR EXISTS "${path}")
      list(APPEND failed "${path}")
    else()
      math(EXPR removed "${removed} + 1")
    endif()
  endif()
  get_filename_component(folder "${path}" DIRECTORY)
  get_filename_component(name "${folder}" NAME)
  if(name STREQUAL "vexorin")
    list(APPEND folders "${folder}")
  endif()
endforeach()
list(REMOVE_DUPLICATES folders)
foreach(folder IN LISTS folders)
  file(GLOB left LIST_DIRECTORIES true "${folder}/*" "${folder}/.*")
  if(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}" AND NOT left)
    file(REMOVE_RECURSE "${folder}")  # empty: removes the folder alone
  endif()
endforeach()
message(STATUS "Removed ${removed} installed files.")
if(failed)
  list(JOIN failed "\n  " failed_text)
  message(FATAL_ERROR "Could not remove:\n  ${failed_text}")
endif()
file(REMOVE "${MANIFEST}")
