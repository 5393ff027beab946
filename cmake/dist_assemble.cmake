# Run by the dist target (cmake/Dist.cmake) with cmake -P: fills DIST_DIR
# afresh with the programs, the files setup.inf names, license.txt and the
# user guide as a Doc database.

file(REMOVE_RECURSE ${DIST_DIR})
file(MAKE_DIRECTORY ${DIST_DIR})
file(COPY ${PROGRAMS} ${FILES} DESTINATION ${DIST_DIR})
configure_file(${LICENSE} ${DIST_DIR}/license.txt COPYONLY)

# quillo-addin writes the guide through libtextlink, which loads only with
# its product recorded and a HotSync user to flush for: both live in a hive
# and folders of their own under WORK_DIR, so nothing of the user's changes.
set(box ${WORK_DIR}/guide)
file(REMOVE_RECURSE ${box})
file(MAKE_DIRECTORY ${box}/product ${box}/user/Install ${box}/user/Backup)
string(REPLACE "\\" "\\\\" product "${box}/product")
string(REPLACE "\\" "\\\\" user "${box}/user")
file(WRITE ${box}/registry.reg
  "REGEDIT4\n\n"
  "[HKEY_CURRENT_USER\\Software\\Brightfold\\Quillo]\n\"Path\"=\"${product}\"\n\n"
  "[HKEY_CURRENT_USER\\Software\\Brightfold\\Quillo\\User0]\n"
  "\"Name\"=\"Guide\"\n\"Path\"=\"${user}\"\n\"ID\"=\"1\"\n\n")
get_filename_component(guideName ${GUIDE_DATABASE} NAME_WE)
configure_file(${GUIDE_TEXT} ${box}/${guideName}.txt COPYONLY)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env BRIGHTFOLD_HIVE=${box}/registry.reg BRIGHTFOLD_UI=headless
          BRIGHTFOLD_TEXTLINK=${TEXTLINK} BRIGHTFOLD_FAULTS=
          ${QUILLO_ADDIN} write ${box}/${guideName}.txt --user 0 --piece 8192
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT EXISTS ${box}/${guideName}.pdb)
  message(FATAL_ERROR "quillo-addin could not write the user guide (${status}):\n${out}${err}")
endif()
configure_file(${box}/${guideName}.pdb ${DIST_DIR}/${GUIDE_DATABASE} COPYONLY)
file(REMOVE_RECURSE ${box})
