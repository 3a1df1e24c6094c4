# CPack runs this after installing into its staging folder and before packing: the static
# libraries lose their debugging sections, .comment and .note, as Debian's dh_strip leaves a
# -dev package's archives (CPack's own stripping passes archives by).
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE archives "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.a")
foreach(archive IN LISTS archives)
  execute_process(COMMAND strip --strip-debug --remove-section=.comment --remove-section=.note
                          --enable-deterministic-archives "${archive}"
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "strip failed on ${archive}")
  endif()
endforeach()
