# BLAS and LAPACK for Velmora's numerical library, as the imported targets
# BLAS::BLAS and LAPACK::LAPACK: OpenBLAS, and on systems that ship it
# apart (Debian's libopenblas-serial-dev) its single-threaded build.  The
# threaded build starts a thread per core when the program starts and keeps
# them spinning for a while after every call, taking the second core from
# Velmora's own threads, and any other BLAS rounds differently; the system's
# default BLAS is therefore not taken.  Used by the build and, installed, by
# the package configuration of the library.
#
#   velmora_pin_serial_openblas()    before find_package(BLAS) and (LAPACK)
#   velmora_check_serial_openblas()  after them: stops unless the found
#                                    library is the single-threaded build
#                                    where the system has one
include_guard(GLOBAL)

macro(velmora_pin_serial_openblas)
  set(BLA_VENDOR OpenBLAS)
  set(_velmora_serial_dirs)
  foreach(_velmora_prefix IN LISTS CMAKE_SYSTEM_PREFIX_PATH)
    if(CMAKE_LIBRARY_ARCHITECTURE)
      list(APPEND _velmora_serial_dirs
           ${_velmora_prefix}/lib/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-serial)
    endif()
    list(APPEND _velmora_serial_dirs ${_velmora_prefix}/lib/openblas-serial)
  endforeach()
  set(_velmora_saved_library_path "${CMAKE_LIBRARY_PATH}")
  list(PREPEND CMAKE_LIBRARY_PATH ${_velmora_serial_dirs})
endmacro()

macro(velmora_check_serial_openblas)
  set(CMAKE_LIBRARY_PATH "${_velmora_saved_library_path}")
  set(_velmora_serial_found FALSE)
  set(_velmora_serial_used FALSE)
  foreach(_velmora_dir IN LISTS _velmora_serial_dirs)
    if(EXISTS ${_velmora_dir})
      set(_velmora_serial_found TRUE)
      file(REAL_PATH ${_velmora_dir} _velmora_dir)
      foreach(_velmora_lib IN LISTS BLAS_LIBRARIES LAPACK_LIBRARIES)
        get_filename_component(_velmora_lib_dir ${_velmora_lib} DIRECTORY)
        file(REAL_PATH ${_velmora_lib_dir} _velmora_lib_dir)
        if(_velmora_lib_dir STREQUAL _velmora_dir)
          set(_velmora_serial_used TRUE)
        endif()
      endforeach()
    endif()
  endforeach()
  if(_velmora_serial_found AND NOT _velmora_serial_used)
    message(FATAL_ERROR "Velmora needs the single-threaded OpenBLAS found in "
            "${_velmora_serial_dirs}, but BLAS resolved to ${BLAS_LIBRARIES}.")
  elseif(NOT _velmora_serial_found)
    message(STATUS "No single-threaded OpenBLAS on this system; Velmora uses ${BLAS_LIBRARIES}.")
  endif()
endmacro()
