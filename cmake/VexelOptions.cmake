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

# vexel_module(name [SUBDIRS subfolders...] LIBS deps... PKGS pkg-config modules...)
# One static library per module folder, vexel_<name>, also known as Vexel::<name> as programs
# outside the tree see it. Sources are every .cpp in the folder and in the subfolders named
# by SUBDIRS, so adding a unit needs no edit here. The pkg-config modules are collected in
# the global property VEXEL_PKG_MODULES for the installed package's dependencies.
function(vexel_module name)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;LIBS;PKGS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(sub ${ARG_SUBDIRS})
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.c)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  add_library(vexel_${name} STATIC ${sources})
  add_library(Vexel::${name} ALIAS vexel_${name})
  set_target_properties(vexel_${name} PROPERTIES EXPORT_NAME ${name})
  target_include_directories(vexel_${name} PUBLIC $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/src>)
  target_compile_features(vexel_${name} PUBLIC cxx_std_20)
  target_link_libraries(vexel_${name} PUBLIC ${ARG_LIBS})
  foreach(pkg ${ARG_PKGS})
    string(MAKE_C_IDENTIFIER ${pkg} id)
    string(TOUPPER ${id} id)
    pkg_check_modules(PKG_${id} REQUIRED IMPORTED_TARGET ${pkg})
    target_link_libraries(vexel_${name} PUBLIC PkgConfig::PKG_${id})
    set_property(GLOBAL APPEND PROPERTY VEXEL_PKG_MODULES ${pkg})
  endforeach()
endfunction()
