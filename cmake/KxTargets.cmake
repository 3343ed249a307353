# Collects the sources of one folder into a library. Files are found by glob
# so that a new class needs only its files, not an edit here. A folder that
# has no sources yet gives an interface library carrying only its headers.
function(kx_folder_library name type dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(_srcs)
    add_library(${name} ${type} ${_srcs})
    target_include_directories(${name} PUBLIC ${dir})
    set(${name}_HAS_SOURCES TRUE PARENT_SCOPE)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${dir})
    set(${name}_HAS_SOURCES FALSE PARENT_SCOPE)
  endif()
endfunction()
