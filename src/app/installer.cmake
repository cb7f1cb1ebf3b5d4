# The installer executable: setup-stub-x64.exe in the 64-bit tree,
# setup-stub-x86.exe in the 32-bit tree. The packer copies it and adds the
# payload resource. A GUI program, linked statically.
set(plove_stub_name setup-stub-${PLOVE_ARCH})
add_executable(setup_stub WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/win/installer_main.cpp)
set_target_properties(setup_stub PROPERTIES OUTPUT_NAME ${plove_stub_name})
target_link_options(setup_stub PRIVATE -municode -mwindows -s ${PLOVE_STUB_LINK_OPTIONS})
target_link_libraries(setup_stub PRIVATE
  plove_app_launch plove_wizard_win plove_uninstaller plove_container_win plove_payload_win plove_state ole32)
# The resources folder is configured after this one: link its objects once
# every folder under src/ has been read.
function(plove_stub_link_resources)
  if(TARGET plove_resources)
    target_link_libraries(setup_stub PRIVATE plove_resources)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}/src CALL plove_stub_link_resources)
plove_warnings(setup_stub)

# The example product that scripts/main-job.sh packs with this stub.
add_subdirectory(${PROJECT_SOURCE_DIR}/examples/hello ${CMAKE_BINARY_DIR}/examples/hello)
