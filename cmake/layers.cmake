# Velmora's layers, bottom-up, and what each may link.  This table is the one
# place that says which layer may use which: the configure step stops when a
# target links a layer that its own layer does not declare here.
#
#   velmora_layer(FOLDER [LIBRARY] [DEPENDS layer...] [TEST_DEPENDS layer...]
#                 [FORBID regex...] [INCLUDES header...]
#                 [ENTRY_FILES file... ENTRY_HEADERS regex...])
#
# FOLDER        the layer's folder under src/; its tests are the same folder
#               under tests/ (and any folder that one adds).
# LIBRARY       part of the installed numerical library: built also with
#               VELMORA_GUI=OFF, may depend only on library layers, and never
#               reaches Qt or Cairo.
# DEPENDS       the layers whose targets the layer's targets link directly.
# TEST_DEPENDS  further layers its tests link, besides the layer and DEPENDS.
# FORBID        regular expressions of targets that neither the layer nor
#               anything it links, however indirectly, may reach.
# INCLUDES      headers of other layers its files include although it does
#               not depend on their layer (each one a debt to pay off).
# ENTRY_FILES   the layer's files (names in its folder) that alone may include
#               the headers ENTRY_HEADERS matches: the program's entry points,
#               where a run-time is installed and driven.  Every other file
#               of the layer asks a layer below to do it.
#
# The sources and headers of a layer, and of its tests, include headers only
# of the layers it depends on (directly or through them).
#
# A layer's DEPENDS must be declared above it, so the layers form no cycle
# and are added in this order; its tests may use any layer it names.
set(VELMORA_LAYER_ORDER)
set(VELMORA_LIBRARY_FORBID "^Qt6::" "CAIRO")

function(velmora_layer folder)
  cmake_parse_arguments(L "LIBRARY" "" "DEPENDS;TEST_DEPENDS;FORBID;INCLUDES;ENTRY_FILES;ENTRY_HEADERS"
                        ${ARGN})
  foreach(dep IN LISTS L_DEPENDS)
    if(NOT dep IN_LIST VELMORA_LAYER_ORDER)
      message(FATAL_ERROR "Layer ${folder} depends on ${dep}, which is not declared above it "
                          "in cmake/layers.cmake.")
    endif()
    get_property(dep_library GLOBAL PROPERTY VELMORA_LAYER_LIBRARY_${dep})
    if(L_LIBRARY AND NOT dep_library)
      message(FATAL_ERROR "Library layer ${folder} depends on ${dep}, which is not part of the "
                          "numerical library.")
    endif()
  endforeach()
  set(forbid ${L_FORBID})
  if(L_LIBRARY)
    list(APPEND forbid ${VELMORA_LIBRARY_FORBID})
  endif()
  set_property(GLOBAL PROPERTY VELMORA_LAYER_LIBRARY_${folder} ${L_LIBRARY})
  set_property(GLOBAL PROPERTY VELMORA_LAYER_DEPENDS_${folder} ${L_DEPENDS})
  set_property(GLOBAL PROPERTY VELMORA_LAYER_TEST_DEPENDS_${folder} ${L_TEST_DEPENDS})
  set_property(GLOBAL PROPERTY VELMORA_LAYER_FORBID_${folder} ${forbid})
  set_property(GLOBAL PROPERTY VELMORA_LAYER_INCLUDES_${folder} ${L_INCLUDES})
  set_property(GLOBAL PROPERTY VELMORA_LAYER_ENTRY_FILES_${folder} ${L_ENTRY_FILES})
  set_property(GLOBAL PROPERTY VELMORA_LAYER_ENTRY_HEADERS_${folder} ${L_ENTRY_HEADERS})
  list(APPEND VELMORA_LAYER_ORDER ${folder})
  set(VELMORA_LAYER_ORDER ${VELMORA_LAYER_ORDER} PARENT_SCOPE)
endfunction()

# The numerical library: plain C++ on Eigen, Boost's headers and LAPACK.
velmora_layer(core LIBRARY)
velmora_layer(shape LIBRARY DEPENDS core)
velmora_layer(tps LIBRARY DEPENDS core shape TEST_DEPENDS stats)
velmora_layer(stats LIBRARY DEPENDS core shape tps)
velmora_layer(io LIBRARY DEPENDS core)
velmora_layer(mesh LIBRARY DEPENDS core)
velmora_layer(analysis LIBRARY DEPENDS core shape tps stats io mesh)
# The run-time: values, functions called by name, the object model and its
# drawing.  The object model describes scenes without drawing them.
# The values' tests also cover the run-time built on them (one executable).
# Values throw the run-time's error type, whose header sits a layer above.
velmora_layer(platform/value DEPENDS core TEST_DEPENDS platform/runtime
              INCLUDES platform/runtime/runtime_error.hpp)
velmora_layer(platform/runtime DEPENDS core platform/value)
velmora_layer(platform/render DEPENDS platform/runtime)
velmora_layer(platform/graphics DEPENDS platform/runtime platform/render FORBID "CAIRO" "^Qt6::")
velmora_layer(platform/print DEPENDS platform/graphics platform/render)
# Animations: rendered frames encoded into an animated GIF or an H.264 MP4
# (FFmpeg), as the bytes of a file.
velmora_layer(platform/video DEPENDS core)
# The program: the library seen from the run-time, the figure helpers, the
# plots, the windows and the application.
velmora_layer(bindings DEPENDS core shape tps stats io platform/runtime)
velmora_layer(gui DEPENDS platform/graphics)
velmora_layer(plot DEPENDS platform/graphics bindings)
velmora_layer(platform/qt DEPENDS platform/graphics platform/render TEST_DEPENDS platform/print)
# The texts of the reports: titles, texts, tables and exact numbers, from
# the session's reports alone (no window), so batch, window and tests
# print the same.
velmora_layer(report DEPENDS analysis platform/runtime)
# The windows as a view of the session: the main window's places (plot,
# boxes, status line, log, dialogs), the 3-D figure and its display, the
# 2-D plots and the surface view.  The one layer of the program that draws
# in the graphics tree; the application asks it to show, never draws itself.
velmora_layer(view DEPENDS analysis report bindings gui plot platform/print platform/video
              platform/runtime)
# Only the entry points of the application draw or drive the windows
# themselves: the program's start (main.cpp), the main window's opening and
# the functions it registers (velmora.cpp), and the batch run that works
# the window's controls (batch.cpp).  The actions ask the view.
velmora_layer(app DEPENDS analysis report view bindings gui plot platform/print platform/qt
              platform/runtime
              ENTRY_FILES main.cpp velmora.cpp batch.cpp
              ENTRY_HEADERS "^platform/graphics/graphics\\.hpp$" "^platform/(qt|print|render)/"
                            "^gui/" "^plot/")

# Adds, in the order above, every layer folder below ROOT (src or tests) that
# holds a CMakeLists.txt; with VELMORA_GUI=OFF only the library's layers.
function(velmora_add_layers root)
  foreach(layer IN LISTS VELMORA_LAYER_ORDER)
    get_property(library GLOBAL PROPERTY VELMORA_LAYER_LIBRARY_${layer})
    if(NOT VELMORA_GUI AND NOT library)
      continue()
    endif()
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

# velmora_forbid_link(TARGET REGEX): stops the configure step when TARGET
# reaches a target whose name matches REGEX, directly or through any library
# it links.  Checked once every folder has been added.
function(velmora_forbid_link target forbidden)
  set_property(GLOBAL APPEND PROPERTY VELMORA_FORBIDDEN_LINKS "${target}|${forbidden}")
endfunction()

# The layer of a target made in a folder below src/ or tests/: LAYER is the
# layer's folder (empty for anything else) and IS_TEST says whether the
# target is one of its tests.  A tests folder that is no layer of its own
# belongs to the layer of the folder that added it.
function(_velmora_layer_of target out_layer out_is_test)
  set(layer "")
  set(is_test FALSE)
  get_target_property(imported ${target} IMPORTED)
  if(NOT imported)
    get_target_property(dir ${target} SOURCE_DIR)
    while(dir)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
      if(rel MATCHES "^(src|tests)/(.+)$")
        if(CMAKE_MATCH_2 IN_LIST VELMORA_LAYER_ORDER)
          set(layer ${CMAKE_MATCH_2})
          if(CMAKE_MATCH_1 STREQUAL "tests")
            set(is_test TRUE)
          endif()
          break()
        endif()
      else()
        break()
      endif()
      get_property(dir DIRECTORY ${dir} PROPERTY PARENT_DIRECTORY)
    endwhile()
  endif()
  set(${out_layer} "${layer}" PARENT_SCOPE)
  set(${out_is_test} ${is_test} PARENT_SCOPE)
endfunction()

# The libraries TARGET links directly (aliases resolved; link-only and
# build-interface wrappers removed).  Names that are no target here are kept:
# an imported target made in a subfolder is seen by name only.
function(_velmora_direct_links target out)
  set(result)
  foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(items ${target} ${prop})
    if(NOT items)
      continue()
    endif()
    foreach(item IN LISTS items)
      string(REGEX REPLACE "^\\$<(LINK_ONLY|BUILD_INTERFACE):(.*)>$" "\\2" item "${item}")
      if(TARGET ${item})
        get_target_property(aliased ${item} ALIASED_TARGET)
        if(aliased)
          set(item ${aliased})
        endif()
      endif()
      list(APPEND result ${item})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Stops the configure step when TARGET reaches a target matching REGEX.
function(_velmora_check_no_link target regex why)
  set(seen)
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo item)
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(NOT item STREQUAL target AND item MATCHES "${regex}")
      message(FATAL_ERROR "${target} must not link ${item} (${why}), yet it or one of the "
                          "libraries it links does.")
    endif()
    if(NOT TARGET ${item})
      continue()
    endif()
    _velmora_direct_links(${item} direct)
    list(APPEND todo ${direct})
  endwhile()
endfunction()

function(_velmora_targets_below dir out)
  get_property(result DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _velmora_targets_below(${sub} more)
    list(APPEND result ${more})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# LAYER and every layer below it that it depends on, directly or not.
function(_velmora_closure out)
  set(result)
  set(todo ${ARGN})
  while(todo)
    list(POP_FRONT todo layer)
    if(layer IN_LIST result)
      continue()
    endif()
    list(APPEND result ${layer})
    get_property(deps GLOBAL PROPERTY VELMORA_LAYER_DEPENDS_${layer})
    list(APPEND todo ${deps})
  endwhile()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Stops the configure step when a source of TARGET (layer LAYER), or a header
# beside them, includes a header of src/ from a layer outside ALLOWED.
function(_velmora_check_includes target layer allowed is_test)
  get_property(exceptions GLOBAL PROPERTY VELMORA_LAYER_INCLUDES_${layer})
  get_property(entry_files GLOBAL PROPERTY VELMORA_LAYER_ENTRY_FILES_${layer})
  get_property(entry_headers GLOBAL PROPERTY VELMORA_LAYER_ENTRY_HEADERS_${layer})
  get_target_property(dir ${target} SOURCE_DIR)
  get_target_property(sources ${target} SOURCES)
  file(GLOB headers ${dir}/*.hpp)
  foreach(file IN LISTS sources headers)
    if(NOT file MATCHES "\\.[ch]pp$")
      continue()
    endif()
    get_filename_component(file ${file} ABSOLUTE BASE_DIR ${dir})
    file(STRINGS ${file} lines REGEX "^#include \"[^\"]+/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      set(header_layer "")
      foreach(candidate IN LISTS VELMORA_LAYER_ORDER)
        string(LENGTH "${candidate}" n)
        string(LENGTH "${header_layer}" best)
        if(header MATCHES "^${candidate}/" AND n GREATER best)
          set(header_layer ${candidate})
        endif()
      endforeach()
      # Test helpers (tests/io/test_files.hpp) belong to no layer's code.
      if(header_layer AND NOT header_layer IN_LIST allowed AND NOT header IN_LIST exceptions
         AND EXISTS ${CMAKE_SOURCE_DIR}/src/${header})
        file(RELATIVE_PATH shown ${CMAKE_SOURCE_DIR} ${file})
        message(FATAL_ERROR "${shown} (layer ${layer}) includes ${header} of layer "
                            "${header_layer}, which ${layer} does not depend on in "
                            "cmake/layers.cmake.")
      endif()
      get_filename_component(name ${file} NAME)
      if(NOT is_test AND NOT name IN_LIST entry_files)
        foreach(regex IN LISTS entry_headers)
          if(header MATCHES "${regex}")
            file(RELATIVE_PATH shown ${CMAKE_SOURCE_DIR} ${file})
            string(JOIN ", " entries ${entry_files})
            message(FATAL_ERROR "${shown} (layer ${layer}) includes ${header}, which only its "
                                "entry points ${entries} may include (cmake/layers.cmake); "
                                "ask the layer below for what it shows instead.")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()
endfunction()

# Checks every target of every layer against the table above.
function(_velmora_check_layers)
  _velmora_targets_below(${CMAKE_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    _velmora_layer_of(${target} layer is_test)
    if(NOT layer)
      continue()
    endif()
    get_property(allowed GLOBAL PROPERTY VELMORA_LAYER_DEPENDS_${layer})
    list(APPEND allowed ${layer})
    if(is_test)
      get_property(test_deps GLOBAL PROPERTY VELMORA_LAYER_TEST_DEPENDS_${layer})
      list(APPEND allowed ${test_deps})
    endif()
    _velmora_direct_links(${target} todo)
    set(seen)
    while(todo)
      list(POP_FRONT todo item)
      if(item IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${item})
      if(NOT TARGET ${item})
        continue()
      endif()
      _velmora_layer_of(${item} item_layer item_is_test)
      get_target_property(imported ${item} IMPORTED)
      if(item_layer)
        if(NOT item_layer IN_LIST allowed)
          message(FATAL_ERROR "${target} (layer ${layer}) links ${item} of layer ${item_layer}, "
                              "which ${layer} does not declare in cmake/layers.cmake.")
        endif()
      elseif(NOT imported AND item MATCHES "^velmora_")
        # A grouping target of the project (Velmora::numerics): its parts
        # count as linked directly.
        _velmora_direct_links(${item} parts)
        list(APPEND todo ${parts})
      endif()
    endwhile()
    if(is_test)
      _velmora_closure(reachable ${layer} ${test_deps})
    else()
      _velmora_closure(reachable ${layer})
    endif()
    _velmora_check_includes(${target} ${layer} "${reachable}" ${is_test})
    if(NOT is_test)
      get_property(forbid GLOBAL PROPERTY VELMORA_LAYER_FORBID_${layer})
      foreach(regex IN LISTS forbid)
        _velmora_check_no_link(${target} "${regex}" "layer ${layer}")
      endforeach()
    endif()
  endforeach()
  get_property(pairs GLOBAL PROPERTY VELMORA_FORBIDDEN_LINKS)
  foreach(pair IN LISTS pairs)
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 target)
    list(GET pair 1 regex)
    if(TARGET ${target})
      _velmora_check_no_link(${target} "${regex}" "velmora_forbid_link")
    endif()
  endforeach()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _velmora_check_layers)
