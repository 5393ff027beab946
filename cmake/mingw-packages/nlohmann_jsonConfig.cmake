# nlohmann_json for the Windows cross build: the header-only library of the
# build machine (/usr/include/nlohmann), seen through a folder that holds only
# it, so that the host's other headers stay off the cross compiler's path.
if(NOT TARGET nlohmann_json::nlohmann_json)
  find_path(BRIGHTFOLD_NLOHMANN_HOST_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT BRIGHTFOLD_NLOHMANN_HOST_DIR)
    set(nlohmann_json_FOUND FALSE)
    return()
  endif()
  set(_bf_nlohmann_dir ${CMAKE_BINARY_DIR}/mingw-packages/include)
  file(MAKE_DIRECTORY ${_bf_nlohmann_dir})
  if(NOT EXISTS ${_bf_nlohmann_dir}/nlohmann)
    file(CREATE_LINK ${BRIGHTFOLD_NLOHMANN_HOST_DIR}/nlohmann ${_bf_nlohmann_dir}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_bf_nlohmann_dir})
endif()
