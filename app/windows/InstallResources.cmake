# Windows only: what the program Install carries beside its window
# definition and icon (see LauncherResources.cmake), and how it is linked.
#
# - a manifest asking for no elevation (asInvoker) and the common-controls
#   look, in 96-dpi pixels;
# - a version-information block;
# - the GUI subsystem (entry WinMain) and static C and C++ runtimes, so the
#   one .exe runs on a bare Windows.

set(_windows_out ${CMAKE_CURRENT_BINARY_DIR}/windows)
set(LAUNCHER_MANIFEST ${_windows_out}/Install.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Install.manifest.in ${LAUNCHER_MANIFEST} @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${_windows_out}/version.rc @ONLY)
set_source_files_properties(${_windows_out}/version.rc PROPERTIES OBJECT_DEPENDS ${LAUNCHER_MANIFEST})
target_sources(Install PRIVATE ${_windows_out}/version.rc)

if(MINGW)
  target_link_options(Install PRIVATE -static -static-libgcc -static-libstdc++ -mwindows
                      $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()
