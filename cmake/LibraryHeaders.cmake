# zova_library_headers(TARGET FOLDER [HEADER...]): TARGET's include root
# holds FOLDER alone, under FOLDER's own name, so "name/header.h" reaches its
# headers and no other library's: a target that includes a header must link
# the library that owns it. With HEADERs, only those files of FOLDER are
# shown (a header-only library that shares a folder with another).
#
# The root is a directory of symbolic links in the build tree, made when
# CMake configures; the headers stay where they are.
function(zova_library_headers target folder)
  get_filename_component(folder ${folder} ABSOLUTE)
  get_filename_component(name ${folder} NAME)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  set(link ${root}/${name})
  file(MAKE_DIRECTORY ${root})
  if(ARGN)
    # A link to the whole folder left by an earlier configuration would put
    # the file links below into the source folder itself.
    if(IS_SYMLINK ${link})
      file(REMOVE ${link})
    endif()
    file(MAKE_DIRECTORY ${link})
    foreach(header IN LISTS ARGN)
      file(CREATE_LINK ${folder}/${header} ${link}/${header} SYMBOLIC)
    endforeach()
  else()
    if(IS_DIRECTORY ${link} AND NOT IS_SYMLINK ${link})
      file(REMOVE_RECURSE ${link})
    endif()
    file(CREATE_LINK ${folder} ${link} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
