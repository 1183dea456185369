# Adds, in a fixed bottom-up order, every layer folder below ROOT that holds a
# CMakeLists.txt.  The order matters: a layer's targets must exist before a
# higher layer links them.
set(VELMORA_LAYER_ORDER
  core platform/value platform/runtime platform/render platform/graphics
  shape tps stats io bindings gui plot platform/qt app)

function(velmora_add_layers root)
  foreach(layer IN LISTS VELMORA_LAYER_ORDER)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${root}/${layer}/CMakeLists.txt)
      add_subdirectory(${root}/${layer} ${CMAKE_BINARY_DIR}/${root}/${layer})
    endif()
  endforeach()
endfunction()

# velmora_test(NAME SOURCES... LIBS ...): one GoogleTest executable per layer.
function(velmora_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  # Tests find the bundled examples and the layout file through the source
  # folder compiled in.
  target_compile_definitions(${name} PRIVATE VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
