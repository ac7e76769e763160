# The last install step: lists what this install put down under its root
# (DESTDIR, empty for the live system) in ZOVA_INSTALL_ROOTS, for the
# uninstall (Uninstall.cmake).
if(DEFINED ENV{ZOVA_INSTALL_ROOTS})
  set(ZOVA_INSTALL_ROOTS "$ENV{ZOVA_INSTALL_ROOTS}")  # the tests' own
endif()
string(SHA1 root_key "$ENV{DESTDIR}")
file(MAKE_DIRECTORY "${ZOVA_INSTALL_ROOTS}")
set(listed "$ENV{DESTDIR}\n")
foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
  string(APPEND listed "${file}\n")
endforeach()
file(WRITE "${ZOVA_INSTALL_ROOTS}/${root_key}.txt" "${listed}")
