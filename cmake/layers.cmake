# Adds, in a fixed bottom-up order, every layer folder below ROOT that holds a
# CMakeLists.txt.  The order matters: a layer's targets must exist before a
# higher layer links them.
set(VELMORA_LAYER_ORDER
  core platform/value platform/runtime platform/render platform/graphics platform/print
  shape tps stats io analysis bindings gui plot platform/qt app)

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

# velmora_forbid_link(TARGET FORBIDDEN): stops the configure step when TARGET
# links FORBIDDEN, directly or through any library it links.  Checked once
# every folder has been added, so later link changes are caught too.
function(velmora_forbid_link target forbidden)
  cmake_language(EVAL CODE "
    cmake_language(DEFER DIRECTORY \"${CMAKE_SOURCE_DIR}\"
                   CALL _velmora_check_no_link \"${target}\" \"${forbidden}\")")
endfunction()

function(_velmora_check_no_link target forbidden)
  set(seen)
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo item)
    # Private links of a static library appear as $<LINK_ONLY:name>.
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item IN_LIST seen OR NOT TARGET ${item})
      continue()
    endif()
    list(APPEND seen ${item})
    if(item STREQUAL forbidden)
      message(FATAL_ERROR "${target} must not link ${forbidden}, yet one of the libraries it links does.")
    endif()
    get_target_property(direct ${item} LINK_LIBRARIES)
    get_target_property(iface ${item} INTERFACE_LINK_LIBRARIES)
    foreach(list_name direct iface)
      if(${list_name})
        list(APPEND todo ${${list_name}})
      endif()
    endforeach()
  endwhile()
endfunction()
