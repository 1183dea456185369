# Installs the numerical library (superimposition, splines, statistics and
# the data-file readers) and the analysis session over it for C++ users:
#   find_package(Velmora REQUIRED)
#   target_link_libraries(app PRIVATE Velmora::numerics)   # or Velmora::analysis
# Headers go under include/velmora (#include "shape/procrustes.hpp"); the
# library needs only Eigen, Boost's headers and OpenBLAS (LAPACK), never Qt,
# Cairo or the program's run-time, and builds without them
# (-DVELMORA_GUI=OFF).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELMORA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)

# Headers the library's sources include but a user never does: the Fortran
# prototypes of BLAS and LAPACK.  They are not installed, and no installed
# header may include them.
set(VELMORA_PRIVATE_HEADERS core/blas.hpp)

# Every target and public header of the library's layers (cmake/layers.cmake).
set(library_targets)
set(library_layers)
foreach(layer IN LISTS VELMORA_LAYER_ORDER)
  get_property(library GLOBAL PROPERTY VELMORA_LAYER_LIBRARY_${layer})
  if(NOT library OR NOT EXISTS ${CMAKE_SOURCE_DIR}/src/${layer}/CMakeLists.txt)
    continue()
  endif()
  list(APPEND library_layers ${layer})
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/src/${layer} PROPERTY BUILDSYSTEM_TARGETS)
  list(APPEND library_targets ${targets})
  set(excluded)
  foreach(header IN LISTS VELMORA_PRIVATE_HEADERS)
    get_filename_component(header_dir ${header} DIRECTORY)
    get_filename_component(header_name ${header} NAME)
    if(header_dir STREQUAL layer)
      list(APPEND excluded PATTERN ${header_name} EXCLUDE)
    endif()
  endforeach()
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/src/${layer}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora
    FILES_MATCHING PATTERN "*.hpp" ${excluded})
endforeach()

# The numerical library as a C++ user links it: superimposition, splines,
# statistics and the data-file readers, needing only Eigen, Boost's headers
# and LAPACK.  Installed and exported as Velmora::numerics; the analysis
# session over it is Velmora::analysis.
add_library(velmora_numerics INTERFACE)
target_link_libraries(velmora_numerics INTERFACE velmora_shape velmora_tps velmora_stats velmora_io)
set_target_properties(velmora_numerics PROPERTIES EXPORT_NAME numerics)
add_library(Velmora::numerics ALIAS velmora_numerics)

install(TARGETS ${library_targets} velmora_numerics
  EXPORT VelmoraTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${VELMORA_CMAKE_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/cmake/VelmoraBLAS.cmake DESTINATION ${VELMORA_CMAKE_DIR})

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/VelmoraConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VelmoraConfig.cmake INSTALL_DESTINATION ${VELMORA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VelmoraConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VelmoraConfig.cmake ${CMAKE_BINARY_DIR}/VelmoraConfigVersion.cmake
  DESTINATION ${VELMORA_CMAKE_DIR})

if(VELMORA_TESTS)
  # Installs the library into a folder of the build and builds the example
  # program of examples/library against it alone, then runs it on the
  # bundled sample.
  set(consumer_flags "")
  if(VELMORA_SANITIZE)
    set(consumer_flags "-fsanitize=address,undefined")
  endif()
  add_test(NAME numerics_library_consumer
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${CMAKE_BINARY_DIR}
      -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
      -DWORK_DIR=${CMAKE_BINARY_DIR}/library_consumer
      -DGENERATOR=${CMAKE_GENERATOR}
      -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
      -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DEXTRA_FLAGS=${consumer_flags}
      "-DPRIVATE_HEADERS=${VELMORA_PRIVATE_HEADERS}"
      -P ${CMAKE_SOURCE_DIR}/cmake/test_library_consumer.cmake)
endif()

# The program, where it is built: the launcher and the program with the
# layout file beside them (where the program looks for it), the README in
# the documentation folder (where Help > User Guide looks), and a desktop
# entry with an icon and the file types it opens.
if(TARGET velmora_program)
  install(TARGETS velmora velmora_program RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/src/app/Velmora.fig DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora/docs
          FILES_MATCHING PATTERN "*.png")
  install(FILES ${CMAKE_SOURCE_DIR}/share/velmora.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/share/velmora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/share/velmora-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME velmora.xml)
endif()
