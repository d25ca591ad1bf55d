# Configures outer/ in a fresh temporary folder, builds a test of the included project, removes the folder.
set(tmp "$ENV{TMPDIR}")
if(NOT tmp)
  set(tmp /tmp)
endif()
string(RANDOM LENGTH 10 suffix)
set(work "${tmp}/tranvex-subproject-${suffix}")
file(MAKE_DIRECTORY "${work}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${OUTER_SOURCE_DIR} -B ${work} -G Ninja -DCMAKE_BUILD_TYPE=Release
          -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DTRANVEX_SOURCE_DIR=${TRANVEX_SOURCE_DIR}
  RESULT_VARIABLE configured)
if(configured EQUAL 0)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${work} --target test_xml -j 2 RESULT_VARIABLE built)
endif()
file(REMOVE_RECURSE "${work}")
if(NOT configured EQUAL 0 OR NOT built EQUAL 0)
  message(FATAL_ERROR "Tranvex does not build as a subproject")
endif()
