# The host's SQL front end (dialect parser) and its SQLite-backed store.
find_package(SQLite3 REQUIRED)

add_library(vxrhost_store STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/sql_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sqlite_store.cpp)
target_include_directories(vxrhost_store PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(vxrhost_store PUBLIC SQLite::SQLite3 PRIVATE vxr_warnings)
set_target_properties(vxrhost_store PROPERTIES POSITION_INDEPENDENT_CODE ON)
