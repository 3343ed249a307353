# Collects the sources of one folder into a library. Files are found by glob
# so that a new class needs only its files, not an edit here. A folder that
# has no sources yet gives an interface library carrying only its headers.
# Several folders may make one library: each is globbed and each is on the
# include path, so a header is named by its file name alone wherever it sits.
function(kx_folder_library name type)
  set(_srcs "")
  foreach(_dir ${ARGN})
    file(GLOB _dir_srcs CONFIGURE_DEPENDS ${_dir}/*.cpp)
    list(APPEND _srcs ${_dir_srcs})
  endforeach()
  if(_srcs)
    add_library(${name} ${type} ${_srcs})
    target_include_directories(${name} PUBLIC ${ARGN})
    set(${name}_HAS_SOURCES TRUE PARENT_SCOPE)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${ARGN})
    set(${name}_HAS_SOURCES FALSE PARENT_SCOPE)
  endif()
endfunction()
