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

# The catalog's tables as SQLite virtual tables (vxrhost sql).
add_library(vxrhost_vtab STATIC ${CMAKE_CURRENT_LIST_DIR}/src/vtab.cpp)
target_link_libraries(vxrhost_vtab PUBLIC vxrhost_store vxrhost_catalog PRIVATE vxr_warnings)

# The same tables as a loadable SQLite extension, for any SQLite client. It
# carries the host (core, store, catalog) and calls SQLite through the
# routines of the process that loads it, so it links no SQLite of its own.
# It lands beside the build's modules directory, as it is installed beside
# <libdir>/vxr/modules.
add_library(vxrsqlite MODULE
  ${CMAKE_CURRENT_LIST_DIR}/src/vxrsqlite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/vtab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sqlite_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/store_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sql_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/catalog.cpp
  $<TARGET_OBJECTS:vxrhost_core>)
target_compile_definitions(vxrsqlite PRIVATE VXR_SQLITE_EXTENSION VXRHOST_VERSION="${PROJECT_VERSION}")
target_include_directories(vxrsqlite PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/include ${PROJECT_SOURCE_DIR}/runtime/include ${SQLite3_INCLUDE_DIRS})
target_link_libraries(vxrsqlite PRIVATE vxr_catalog_modules ${CMAKE_DL_LIBS} Threads::Threads vxr_warnings)
target_link_options(vxrsqlite PRIVATE
  "LINKER:--version-script=${CMAKE_CURRENT_LIST_DIR}/src/vxrsqlite.map" "LINKER:--no-undefined")
set_target_properties(vxrsqlite PROPERTIES
  PREFIX ""
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/src/vxrsqlite.map)
install(TARGETS vxrsqlite LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vxr)
