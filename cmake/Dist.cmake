# The setupwiz distribution: `cmake --build build --target dist` assembles
# build/dist/ with setupwiz, setup.inf, license.txt and every file the
# script names (docs/setupwiz.md). The user guide is made into a Doc
# database at build time by quillo-addin and libtextlink themselves.

set(BRIGHTFOLD_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(BRIGHTFOLD_GUIDE_DATABASE BrightfoldGuide.pdb)
# The GTK module, where it is built, goes beside setupwiz (which finds it
# there) and into the system folder with each component; without it
# setup.inf's File entry stays empty and the list of files ends before it.
set(BRIGHTFOLD_DIST_GTK_MODULE "")
set(DIST_MODULES "")
if(TARGET brightfold-gtk)
  set(BRIGHTFOLD_DIST_GTK_MODULE libbrightfold-gtk.so)
  set(DIST_MODULES ";$<TARGET_FILE:brightfold-gtk>")
endif()
# The file names setup.inf gives on this platform.
if(WIN32)
  set(BRIGHTFOLD_DIST_GRIDLINK gridlink.dll)
  set(BRIGHTFOLD_DIST_TEXTLINK textlink.dll)
  set(BRIGHTFOLD_DIST_TABULO_ADDIN tabulo-addin.exe)
  set(BRIGHTFOLD_DIST_QUILLO_ADDIN quillo-addin.exe)
else()
  set(BRIGHTFOLD_DIST_GRIDLINK libgridlink.so)
  set(BRIGHTFOLD_DIST_TEXTLINK libtextlink.so)
  set(BRIGHTFOLD_DIST_TABULO_ADDIN tabulo-addin)
  set(BRIGHTFOLD_DIST_QUILLO_ADDIN quillo-addin)
endif()
configure_file(dist/setup.inf.in ${CMAKE_BINARY_DIR}/dist-work/setup.inf @ONLY)

set(DIST_PROGRAMS $<TARGET_FILE:tabulo-addin> $<TARGET_FILE:quillo-addin>)
set(DIST_DEPENDS gridlink textlink tabulo-addin quillo-addin)
if(TARGET brightfold-gtk)
  list(APPEND DIST_DEPENDS brightfold-gtk)
endif()
if(TARGET setupwiz)
  list(APPEND DIST_PROGRAMS $<TARGET_FILE:setupwiz>)
  list(APPEND DIST_DEPENDS setupwiz)
endif()
set(DIST_FILES $<TARGET_FILE:gridlink> $<TARGET_FILE:textlink> ${PROJECT_SOURCE_DIR}/dist/dummy.xls
  ${PROJECT_SOURCE_DIR}/dist/sync.dat ${CMAKE_BINARY_DIR}/dist-work/setup.inf)
# The LibreOffice extension, without the libraries it finds in the system folder.
if(TARGET libreoffice-addin-dist)
  get_target_property(DIST_OXT libreoffice-addin-dist OXT_FILE)
  list(APPEND DIST_FILES ${DIST_OXT})
  list(APPEND DIST_DEPENDS libreoffice-addin-dist)
endif()

# The user guide is written by quillo-addin and libtextlink as built here; a
# cross build cannot run its own programs, so it takes those of a Linux build
# of the same tree (the Doc database has the same bytes on every OS).
set(GUIDE_QUILLO_ADDIN $<TARGET_FILE:quillo-addin>)
set(GUIDE_TEXTLINK $<TARGET_FILE:textlink>)
if(CMAKE_CROSSCOMPILING)
  set(BRIGHTFOLD_HOST_BUILD_DIR ${PROJECT_SOURCE_DIR}/build CACHE PATH
    "A Linux build of this tree whose quillo-addin writes the distribution's user guide")
  set(GUIDE_QUILLO_ADDIN ${BRIGHTFOLD_HOST_BUILD_DIR}/bin/quillo-addin)
  set(GUIDE_TEXTLINK ${BRIGHTFOLD_HOST_BUILD_DIR}/lib/libtextlink.so)
endif()

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND}
    -DDIST_DIR=${BRIGHTFOLD_DIST_DIR}
    -DWORK_DIR=${CMAKE_BINARY_DIR}/dist-work
    "-DPROGRAMS=${DIST_PROGRAMS}"
    "-DFILES=${DIST_FILES}${DIST_MODULES}"
    -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
    -DGUIDE_TEXT=${PROJECT_SOURCE_DIR}/docs/user-guide.txt
    -DGUIDE_DATABASE=${BRIGHTFOLD_GUIDE_DATABASE}
    -DQUILLO_ADDIN=${GUIDE_QUILLO_ADDIN}
    -DTEXTLINK=${GUIDE_TEXTLINK}
    -P ${PROJECT_SOURCE_DIR}/cmake/dist_assemble.cmake
  DEPENDS ${DIST_DEPENDS}
  COMMENT "Assembling the setupwiz distribution in ${BRIGHTFOLD_DIST_DIR}"
  VERBATIM)
