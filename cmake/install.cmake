# Installs the numerical library (superimposition, splines, statistics and
# the data-file readers) and the analysis session over it for C++ users:
#   find_package(Velmora REQUIRED)
#   target_link_libraries(app PRIVATE Velmora::numerics)   # or Velmora::analysis
# Headers go under include/velmora (#include "shape/procrustes.hpp"); the
# library needs only Eigen, Boost's headers and OpenBLAS (LAPACK), never Qt,
# Cairo or the program's run-time.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELMORA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)

install(TARGETS velmora_core velmora_shape velmora_tps velmora_stats velmora_io velmora_analysis velmora_numerics
  EXPORT VelmoraTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(part core shape tps stats io analysis)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/src/${part}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora
    FILES_MATCHING PATTERN "*.hpp")
endforeach()
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${VELMORA_CMAKE_DIR})

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
      -P ${CMAKE_SOURCE_DIR}/cmake/test_library_consumer.cmake)
endif()
