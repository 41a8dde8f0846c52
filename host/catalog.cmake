# The host's table catalog: table names, modules, row sizes and attributes,
# taken from the modules' row-layout headers.
add_library(vxrhost_catalog STATIC ${CMAKE_CURRENT_LIST_DIR}/src/catalog.cpp)
target_include_directories(vxrhost_catalog
  PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include ${PROJECT_SOURCE_DIR}/runtime/include
  PRIVATE ${PROJECT_SOURCE_DIR}/providers)
target_link_libraries(vxrhost_catalog PRIVATE vxr_warnings)
