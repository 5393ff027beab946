# The setupwiz distribution: `cmake --build build --target dist` assembles
# build/dist/ with setupwiz, setup.inf, license.txt and every file the
# script names (docs/setupwiz.md). The user guide is made into a Doc
# database at build time by quillo-addin and libtextlink themselves.

set(BRIGHTFOLD_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(BRIGHTFOLD_GUIDE_DATABASE BrightfoldGuide.pdb)
configure_file(dist/setup.inf.in ${CMAKE_BINARY_DIR}/dist-work/setup.inf @ONLY)

set(DIST_PROGRAMS $<TARGET_FILE:tabulo-addin> $<TARGET_FILE:quillo-addin>)
set(DIST_DEPENDS gridlink textlink tabulo-addin quillo-addin)
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

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND}
    -DDIST_DIR=${BRIGHTFOLD_DIST_DIR}
    -DWORK_DIR=${CMAKE_BINARY_DIR}/dist-work
    "-DPROGRAMS=${DIST_PROGRAMS}"
    "-DFILES=${DIST_FILES}"
    -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
    -DGUIDE_TEXT=${PROJECT_SOURCE_DIR}/docs/user-guide.txt
    -DGUIDE_DATABASE=${BRIGHTFOLD_GUIDE_DATABASE}
    -DQUILLO_ADDIN=$<TARGET_FILE:quillo-addin>
    -DTEXTLINK=$<TARGET_FILE:textlink>
    -P ${PROJECT_SOURCE_DIR}/cmake/dist_assemble.cmake
  DEPENDS ${DIST_DEPENDS}
  COMMENT "Assembling the setupwiz distribution in ${BRIGHTFOLD_DIST_DIR}"
  VERBATIM)
