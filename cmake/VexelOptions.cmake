# Compiler flags shared by every target of the project.

add_compile_options(-Wall -Wextra -Wpedantic)
if(VEXEL_WERROR)
  add_compile_options(-Werror)
endif()
# GCC 12 reports overlapping copies inside std::basic_string concatenation at -O3 that cannot
# happen (GCC bug 105651); the warning is only trustworthy from GCC 13 on.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

if(VEXEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VEXEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VEXEL_FUZZ needs clang: configure with CXX=clang++-14 CC=clang-14")
  endif()
  # Libraries get coverage instrumentation; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# vexel_module(name [sources in subfolders...] LIBS deps...)
# One static library per module folder. Sources are every .cpp in the folder and in the
# subfolders named by SUBDIRS, so adding a unit needs no edit here.
function(vexel_module name)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;LIBS;PKGS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(sub ${ARG_SUBDIRS})
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.c)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  add_library(vexel_${name} STATIC ${sources})
  target_include_directories(vexel_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(vexel_${name} PUBLIC ${ARG_LIBS})
  foreach(pkg ${ARG_PKGS})
    string(MAKE_C_IDENTIFIER ${pkg} id)
    string(TOUPPER ${id} id)
    pkg_check_modules(PKG_${id} REQUIRED IMPORTED_TARGET ${pkg})
    target_link_libraries(vexel_${name} PUBLIC PkgConfig::PKG_${id})
  endforeach()
endfunction()
