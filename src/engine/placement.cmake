# Folder macros, file placement, shortcuts, DLL registration and program
# runs. The text rules are portable and build in every tree; the Win32 half
# builds only for Windows.
add_library(plove_engine_rules STATIC
  ${CMAKE_CURRENT_LIST_DIR}/folder_macro_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/variant_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_argument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scope_rules.cpp)
target_link_libraries(plove_engine_rules PUBLIC plove_util)
plove_warnings(plove_engine_rules)

if(WIN32)
  # The real system folder for a 64-bit product of the 32-bit program: the
  # placement and the run's journal both need it.
  add_library(plove_native_system STATIC ${CMAKE_CURRENT_LIST_DIR}/win/native_system_folder.cpp)
  target_link_libraries(plove_native_system PUBLIC plove_state plove_util_win)
  plove_warnings(plove_native_system)

  add_library(plove_engine_placement STATIC
    ${CMAKE_CURRENT_LIST_DIR}/win/folder_macros.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/file_placement.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/file_version.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/installed_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/pending_renames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/app_paths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/shortcuts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/dll_registration.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/program_runs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/product_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/run_scope.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/logon_deletion.cpp)
  # Program runs hand work to the relay, whose reader runs programs: the two
  # libraries need each other.
  target_link_libraries(plove_engine_placement PUBLIC
    plove_engine_rules plove_pe plove_relay plove_payload_win plove_rollback_win plove_native_system plove_state
    plove_util_win
    ole32 shell32 uuid)
  plove_warnings(plove_engine_placement)
endif()
