# The host's SQL front end (dialect parser) and its SQLite-backed store.
find_package(SQLite3 REQUIRED)

add_library(vxrhost_store STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/sql_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sqlite_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/store_checks.cpp)
target_include_directories(vxrhost_store PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(vxrhost_store PUBLIC SQLite::SQLite3 PRIVATE vxr_warnings)
set_target_properties(vxrhost_store PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The PostgreSQL store (libpq) and the factory that picks a store for --db.
find_path(VXR_LIBPQ_INCLUDE_DIR libpq-fe.h PATH_SUFFIXES postgresql REQUIRED)
find_library(VXR_LIBPQ_LIBRARY pq REQUIRED)
add_library(vxrhost_pgstore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/postgres_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/store_factory.cpp)
target_link_libraries(vxrhost_pgstore PUBLIC vxrhost_store ${VXR_LIBPQ_LIBRARY} PRIVATE vxr_warnings)
set_target_properties(vxrhost_pgstore PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(vxrhost_pgstore PUBLIC ${VXR_LIBPQ_INCLUDE_DIR})
