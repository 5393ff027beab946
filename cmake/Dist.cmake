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

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND}
    -DDIST_DIR=${BRIGHTFOLD_DIST_DIR}
    -DWORK_DIR=${CMAKE_BINARY_DIR}/dist-work
    "-DPROGRAMS=${DIST_PROGRAMS}"
    "-DFILES=$<TARGET_FILE:gridlink>;$<TARGET_FILE:textlink>;${PROJECT_SOURCE_DIR}/dist/dummy.xls;${PROJECT_SOURCE_DIR}/dist/sync.dat;${CMAKE_BINARY_DIR}/dist-work/setup.inf${DIST_MODULES}"
    -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
    -DGUIDE_TEXT=${PROJECT_SOURCE_DIR}/docs/user-guide.txt
    -DGUIDE_DATABASE=${BRIGHTFOLD_GUIDE_DATABASE}
    -DQUILLO_ADDIN=$<TARGET_FILE:quillo-addin>
    -DTEXTLINK=$<TARGET_FILE:textlink>
    -P ${PROJECT_SOURCE_DIR}/cmake/dist_assemble.cmake
  DEPENDS ${DIST_DEPENDS}
  COMMENT "Assembling the setupwiz distribution in ${BRIGHTFOLD_DIST_DIR}"
  VERBATIM)
