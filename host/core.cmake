# The host core: module loader, request driver, host objects and SQL client,
# trace services and the scripted store. An OBJECT library, so that the host
# functions the modules import always end up in the executable; executables
# that load modules set ENABLE_EXPORTS.
find_package(Threads REQUIRED)
add_library(vxrhost_core OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/src/host.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/read_ahead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sql_client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/trace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/scripted_store.cpp)
target_include_directories(vxrhost_core PUBLIC
  ${PROJECT_SOURCE_DIR}/runtime/include
  ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(vxrhost_core PUBLIC ${CMAKE_DL_LIBS} Threads::Threads PRIVATE vxr_warnings)
set_target_properties(vxrhost_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
if(VXR_READ_AHEAD)
  target_compile_definitions(vxrhost_core PUBLIC VXR_READ_AHEAD=1)
else()
  target_compile_definitions(vxrhost_core PUBLIC VXR_READ_AHEAD=0)
endif()
