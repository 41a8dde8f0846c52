# The host's table catalog: table names, modules, row sizes and attributes,
# taken from the declarations of the registered modules. Built once, after
# the registration list (providers/CMakeLists.txt); later includes find it.
include_guard(GLOBAL)
add_library(vxrhost_catalog STATIC ${CMAKE_CURRENT_LIST_DIR}/src/catalog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/catalog_roles.cpp)
target_include_directories(vxrhost_catalog
  PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include ${PROJECT_SOURCE_DIR}/runtime/include)
target_link_libraries(vxrhost_catalog PRIVATE vxr_warnings vxr_catalog_modules)
