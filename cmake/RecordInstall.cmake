# Install steps that keep, per root (DESTDIR, empty for the live system), a
# list of what the install put down there, for the uninstall (Uninstall.cmake).
# Run with ZOVA_RECORD set:
#   dirs  first: notes which of ZOVA_INSTALL_DIRS (and their parents) are
#         missing, so that the uninstall removes the directories it made and
#         no other;
#   files last: writes ZOVA_INSTALL_ROOTS/<SHA1 of the root>.txt, one entry
#         a line: "root <DESTDIR>", then "dir <path>" and "file <path>".
# A second install into the same root adds to the list already there.
cmake_policy(PUSH)
cmake_policy(VERSION 3.20)
if(DEFINED ENV{ZOVA_INSTALL_ROOTS})
  set(ZOVA_INSTALL_ROOTS "$ENV{ZOVA_INSTALL_ROOTS}")  # the tests' own
endif()
set(zova_root "$ENV{DESTDIR}")

if(ZOVA_RECORD STREQUAL "dirs")
  set(ZOVA_NEW_DIRS "")
  foreach(dir IN LISTS ZOVA_INSTALL_DIRS)
    if(NOT IS_ABSOLUTE "${dir}")
      set(dir "${CMAKE_INSTALL_PREFIX}/${dir}")
    endif()
    while(NOT IS_DIRECTORY "${zova_root}${dir}" AND NOT dir STREQUAL "/")
      list(APPEND ZOVA_NEW_DIRS "${dir}")
      get_filename_component(dir "${dir}" DIRECTORY)
    endwhile()
  endforeach()
else()
  string(SHA1 zova_key "${zova_root}")
  set(zova_list "${ZOVA_INSTALL_ROOTS}/${zova_key}.txt")
  set(zova_dirs ${ZOVA_NEW_DIRS})
  set(zova_files ${CMAKE_INSTALL_MANIFEST_FILES})
  if(EXISTS "${zova_list}")
    file(STRINGS "${zova_list}" zova_lines)
    foreach(line IN LISTS zova_lines)
      if(line MATCHES "^dir (.+)$")
        list(APPEND zova_dirs "${CMAKE_MATCH_1}")
      elseif(line MATCHES "^file (.+)$")
        list(APPEND zova_files "${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endif()
  list(REMOVE_DUPLICATES zova_dirs)
  list(REMOVE_DUPLICATES zova_files)
  set(zova_text "root ${zova_root}\n")
  foreach(dir IN LISTS zova_dirs)
    string(APPEND zova_text "dir ${dir}\n")
  endforeach()
  foreach(file IN LISTS zova_files)
    string(APPEND zova_text "file ${file}\n")
  endforeach()
  file(MAKE_DIRECTORY "${ZOVA_INSTALL_ROOTS}")
  file(WRITE "${zova_list}" "${zova_text}")
endif()
cmake_policy(POP)
