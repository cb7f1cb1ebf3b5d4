# The install worker, the uninstall record and the installed-version check.
add_library(plove_engine_worker STATIC
  ${CMAKE_CURRENT_LIST_DIR}/win/install_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/installed_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/old_version_keeping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/record_file_marks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/shared_file_count.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/run_rollback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/uninstall_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/uninstaller_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/worker_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/worker_removal_offer.cpp)
target_link_libraries(plove_engine_worker PUBLIC
  plove_engine_placement plove_relay plove_payload_win plove_script_win plove_state plove_util_win
  plove_uninstaller_recipe plove_rollback_undo ole32)
plove_warnings(plove_engine_worker)
