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
  add_library(${name} MODULE ${ARGN})
  target_link_libraries(${name} PRIVATE vxr_runtime vxr_warnings)
  target_compile_options(${name} PRIVATE ${VXR_FREESTANDING_OPTIONS})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    SUFFIX ".so"
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${VXR_MODULE_DIR}
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/module.map)
  target_link_options(${name} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/module.map
    -Wl,--as-needed)
  if(NOT VXR_SANITIZE)
    # libgcc is linked statically (64-bit arithmetic helpers on 32-bit
    # targets); the C library is the only shared dependency.
    target_link_options(${name} PRIVATE -nodefaultlibs)
    target_link_libraries(${name} PRIVATE c gcc)
  endif()
  set_property(GLOBAL APPEND PROPERTY VXR_MODULES ${name})
endfunction()
