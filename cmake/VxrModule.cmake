# Options shared by the runtime and every module: plain C-style code that
# needs nothing of the C++ library at run time.
set(VXR_FREESTANDING_OPTIONS
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fvisibility=hidden
    -fvisibility-inlines-hidden -fno-asynchronous-unwind-tables)

# vxr_add_module(NAME SOURCES...)
#   Builds the table-provider module NAME (for example VXRGOAAL) to
#   modules/NAME.so. The module exports cnt1entd alone, leaves the host
#   functions to the loading process and needs nothing but libc.
function(vxr_add_module name)
  vxr_add_module_target(${name} ${name} vxr_runtime ${VXR_MODULE_DIR} ${ARGN})
  set_property(GLOBAL APPEND PROPERTY VXR_MODULES ${name})
  if(VXR_BUILD_TESTS)
    # The same module on the walking runtime, for the tests that compare
    # the indexed merges with the walks: modules-walk/NAME.so.
    vxr_add_module_target(${name}_walk ${name} vxr_runtime_walk ${VXR_MODULE_DIR}-walk ${ARGN})
    set_property(GLOBAL APPEND PROPERTY VXR_WALK_MODULES ${name}_walk)
  endif()
endfunction()

function(vxr_add_module_target target name runtime directory)
  add_library(${target} MODULE ${ARGN})
  target_link_libraries(${target} PRIVATE ${runtime} vxr_warnings)
  target_compile_options(${target} PRIVATE ${VXR_FREESTANDING_OPTIONS})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ".so"
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${directory}
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/module.map)
  target_link_options(${target} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/module.map
    -Wl,--as-needed)
  if(NOT VXR_SANITIZE)
    # libgcc is linked statically (64-bit arithmetic helpers on 32-bit
    # targets); the C library is the only shared dependency.
    target_link_options(${target} PRIVATE -nodefaultlibs)
    target_link_libraries(${target} PRIVATE c gcc)
  endif()
endfunction()

# vxr_module(NAME FLAVOURS flavour...)
#   One line of the registration list (providers/CMakeLists.txt). Builds the
#   module when VXR_FLAVOUR is among its flavours, and records it for the
#   catalog and the tests. Its folder providers/<name>/ must hold <name>.cpp
#   and <name>.h; a module whose files are missing is a configure error.
function(vxr_module name)
  cmake_parse_arguments(M "" "" "FLAVOURS" ${ARGN})
  string(TOLOWER ${name} folder)
  set(dir ${PROJECT_SOURCE_DIR}/providers/${folder})
  foreach(file ${folder}.cpp ${folder}.h)
    if(NOT EXISTS ${dir}/${file})
      message(FATAL_ERROR "module ${name} is in the registration list (providers/CMakeLists.txt) "
                          "but providers/${folder}/${file} is missing")
    endif()
  endforeach()
  if(NOT M_FLAVOURS)
    message(FATAL_ERROR "module ${name}: no FLAVOURS given")
  endif()
  if(NOT VXR_FLAVOUR IN_LIST M_FLAVOURS)
    return()
  endif()
  vxr_add_module(${name} ${dir}/${folder}.cpp)
  target_include_directories(${name} PRIVATE ${dir})
  set_property(GLOBAL APPEND PROPERTY VXR_REGISTERED_MODULES ${name})
endfunction()

# Writes the catalog's list of module declarations (the header of every
# registered module and its VXR_TABLES), read by host/src/catalog.cpp.
function(vxr_write_catalog_list)
  get_property(modules GLOBAL PROPERTY VXR_REGISTERED_MODULES)
  set(includes "")
  set(entries "")
  foreach(name IN LISTS modules)
    string(TOLOWER ${name} folder)
    string(APPEND includes "#include \"${folder}/${folder}.h\"\n")
    string(APPEND entries "  VXR_CATALOG_MODULE(${name}) \\\n")
  endforeach()
  file(CONFIGURE OUTPUT ${VXR_GENERATED_DIR}/vxr_catalog_modules.h
       CONTENT "// Generated from the registration list (providers/CMakeLists.txt).\n#pragma once\n${includes}#define VXR_CATALOG_MODULES \\\n${entries}\n"
       @ONLY)
endfunction()

# The generated headers of the build (the catalog's list of modules).
set(VXR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
add_library(vxr_catalog_modules INTERFACE)
target_include_directories(vxr_catalog_modules INTERFACE ${VXR_GENERATED_DIR}
                                                         ${PROJECT_SOURCE_DIR}/providers)
