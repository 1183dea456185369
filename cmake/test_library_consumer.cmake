# Run by CTest (cmake -P): installs the numerical library from BUILD_DIR
# into WORK_DIR/prefix, configures and builds examples/library against that
# install only, checks that nothing of the program's run-time, Qt or Cairo
# reached the installed package, and runs the examples on the bundled sample.
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
if(NOT BUILD_TYPE)
  set(BUILD_TYPE Release)
endif()

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Failed (${rc}): ${ARGV}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The package names only Eigen, Boost and its own targets.
file(GLOB_RECURSE package_files ${prefix}/*.cmake)
file(GLOB_RECURSE headers ${prefix}/include/*.hpp)
if(NOT package_files OR NOT headers)
  message(FATAL_ERROR "The install in ${prefix} holds no package files or no headers.")
endif()
foreach(f IN LISTS package_files headers)
  file(READ ${f} text)
  foreach(banned Qt6 Qt:: cairo CAIRO velmora_runtime velmora_value velmora_graphics
          "platform/" "bindings/" nlohmann)
    string(FIND "${text}" "${banned}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${f} mentions ${banned}: the library must not need it.")
    endif()
  endforeach()
endforeach()

# BLAS and LAPACK are found again where the library is used: the package
# names no library by its path on the machine that built it.
foreach(f IN LISTS package_files)
  file(STRINGS ${f} lines)
  foreach(line IN LISTS lines)
    if(line MATCHES "(^|[\"'; (:])(/[^\"'; )>]*\\.(so|a)([.][0-9]+)*)([\"'; )>]|$)")
      message(FATAL_ERROR "${f} names the library ${CMAKE_MATCH_2} by its absolute path.")
    endif()
  endforeach()
endforeach()

# Only public headers are installed, and each includes only installed ones.
foreach(private IN LISTS PRIVATE_HEADERS)
  if(EXISTS ${prefix}/include/velmora/${private})
    message(FATAL_ERROR "The private header ${private} was installed.")
  endif()
endforeach()
foreach(h IN LISTS headers)
  file(STRINGS ${h} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    if(NOT EXISTS ${prefix}/include/velmora/${included})
      message(FATAL_ERROR "${h} includes ${included}, which is not installed.")
    endif()
  endforeach()
endforeach()

# No object of the installed libraries needs a symbol of the program's
# run-time, values, console or window.
file(GLOB_RECURSE archives ${prefix}/lib*/*.a)
find_program(NM nm)
if(NM AND archives)
  foreach(a IN LISTS archives)
    run(${NM} -u -C ${a})
    string(REGEX MATCH "velmora::(Value|RuntimeError|DataRefusal|FunctionTable|console|gfx)[^\n]*"
           bad "${run_output}")
    if(bad)
      message(FATAL_ERROR "${a} needs ${bad}")
    endif()
  endforeach()
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/library -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)

find_program(example velmora_scores PATHS ${WORK_DIR}/build NO_DEFAULT_PATH REQUIRED)
run(${example} ${SOURCE_DIR}/examples/skulls.txt)
set(printed "${run_output}")

# One line of scores per specimen of the sample, after the two header lines.
file(STRINGS ${SOURCE_DIR}/examples/skulls.txt specimens)
list(LENGTH specimens n)
string(REGEX MATCHALL "\n" newlines "${printed}")
list(LENGTH newlines lines)
math(EXPR expected "${n} + 2")
if(NOT lines EQUAL expected)
  message(FATAL_ERROR "Expected ${expected} lines for ${n} specimens, got ${lines}:\n${printed}")
endif()
string(FIND "${printed}" "80 specimens of 12 landmarks" at)
if(at EQUAL -1)
  message(FATAL_ERROR "The example did not describe the sample:\n${printed}")
endif()

# A whole analysis through the session: one line, R², p and PC1's share.
find_program(analysis velmora_analysis PATHS ${WORK_DIR}/build NO_DEFAULT_PATH REQUIRED)
run(${analysis} ${SOURCE_DIR}/examples/skulls.txt ${SOURCE_DIR}/examples/age.txt)
if(NOT run_output MATCHES "^R2=0\\.[0-9]+ p=0\\.[0-9]+ PC1=0\\.[0-9]+\n$")
  message(FATAL_ERROR "The analysis example printed:\n${run_output}")
endif()
