# The Linux way to install: `cmake --install` places the libraries, the
# public headers, the programs and the documentation under a prefix, with a
# pkg-config file for add-in authors; `cpack -G DEB` packs the same tree as a
# Debian package. Included at the end of the top CMakeLists, once every
# target exists.

# The libraries go to <prefix>/lib, not to a multiarch folder: the programs
# look for them at ../lib beside themselves (src/cli/command_line.h).
if(NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR lib CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)

install(TARGETS gridlink textlink LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/brightfold.h include/gridlink.h include/textlink.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brightfold)
set(BRIGHTFOLD_INSTALLED_PROGRAMS tabulo-addin quillo-addin hotsync)
if(TARGET setupwiz)
  list(APPEND BRIGHTFOLD_INSTALLED_PROGRAMS setupwiz)
endif()
install(TARGETS ${BRIGHTFOLD_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md LICENSE docs/user-guide.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md")

# brightfold.pc finds its prefix from its own place, so the tree can be
# installed under any --prefix and moved.
# (Folders given as absolute paths are written as they are.)
set(PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH PC_TO_PREFIX /${PC_DIR} /)
  string(REGEX REPLACE "/$" "" PC_TO_PREFIX "${PC_TO_PREFIX}")
  set(PC_PREFIX "\${pcfiledir}/${PC_TO_PREFIX}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(cmake/brightfold.pc.in ${CMAKE_BINARY_DIR}/brightfold.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/brightfold.pc DESTINATION ${PC_DIR})

set(CPACK_PACKAGE_NAME brightfold)
set(CPACK_PACKAGE_VENDOR "the Brightfold developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop side of the Brightfold suite for Palm OS handhelds")
set(CPACK_PACKAGE_DESCRIPTION
  "libgridlink (workbooks and CSV books to and from the handheld spreadsheet Tabulo), libtextlink (text to and from Doc databases for the reader Quillo), their headers, the add-in and HotSync stand-ins and setupwiz.")
set(CPACK_PACKAGE_CONTACT "the Brightfold developers <brightfold@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
