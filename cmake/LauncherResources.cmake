# Turns a window definition and the program's icon into sources that embed
# them (elsewhere than Windows) or into a resource script (Windows).
#
#   launcher_resources(<out-var> DEFINITION <file.dfm> NAME <resource-name>
#                      [ICON <icon.bmp>])
#
# appends the generated sources to <out-var>.

if(CMAKE_CROSSCOMPILING)
  if(NOT LAUNCHER_HOST_TOOLS_DIR)
    message(FATAL_ERROR "Cross-compiling needs LAUNCHER_HOST_TOOLS_DIR: a native build's tools folder")
  endif()
  set(LAUNCHER_DFMC ${LAUNCHER_HOST_TOOLS_DIR}/dfmc)
  set(LAUNCHER_EMBED ${LAUNCHER_HOST_TOOLS_DIR}/embed)
  set(LAUNCHER_BMP2ICO ${LAUNCHER_HOST_TOOLS_DIR}/bmp2ico)
else()
  set(LAUNCHER_DFMC $<TARGET_FILE:dfmc>)
  set(LAUNCHER_EMBED $<TARGET_FILE:embed>)
  set(LAUNCHER_BMP2ICO $<TARGET_FILE:bmp2ico>)
endif()

set(LAUNCHER_RESOURCES_DIR ${PROJECT_SOURCE_DIR}/resources CACHE PATH "Where the window definitions' bitmaps are")

function(launcher_resources out_var)
  cmake_parse_arguments(R "" "DEFINITION;NAME;ICON" "" ${ARGN})
  set(outdir ${CMAKE_CURRENT_BINARY_DIR}/${R_NAME}_res)
  file(MAKE_DIRECTORY ${outdir})
  set(stream ${outdir}/${R_NAME}.bin)
  file(GLOB bitmaps CONFIGURE_DEPENDS ${LAUNCHER_RESOURCES_DIR}/*.bmp)
  add_custom_command(
    OUTPUT ${stream}
    COMMAND ${LAUNCHER_DFMC} ${R_DEFINITION} ${stream} --resources ${LAUNCHER_RESOURCES_DIR}
    DEPENDS ${R_DEFINITION} ${bitmaps} $<$<NOT:$<BOOL:${CMAKE_CROSSCOMPILING}>>:dfmc>
    COMMENT "Compiling the window definition ${R_NAME}"
    VERBATIM)
  set(generated)
  if(WIN32)
    set(rc ${outdir}/${R_NAME}.rc)
    set(rc_text "${R_NAME} RCDATA \"${stream}\"\n")
    set(depends ${stream})
    if(R_ICON)
      set(ico ${outdir}/MAINICON.ico)
      add_custom_command(
        OUTPUT ${ico}
        COMMAND ${LAUNCHER_BMP2ICO} ${R_ICON} ${ico}
        DEPENDS ${R_ICON}
        VERBATIM)
      string(APPEND rc_text "MAINICON ICON \"${ico}\"\n")
      list(APPEND depends ${ico})
    endif()
    file(GENERATE OUTPUT ${rc} CONTENT "${rc_text}")
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${depends}")
    list(APPEND generated ${rc})
  else()
    set(cpp ${outdir}/${R_NAME}_resource.cpp)
    add_custom_command(
      OUTPUT ${cpp}
      COMMAND ${LAUNCHER_EMBED} ${stream} ${cpp} ${R_NAME}
      DEPENDS ${stream} embed
      VERBATIM)
    list(APPEND generated ${cpp})
    if(R_ICON)
      set(icpp ${outdir}/MAINICON_resource.cpp)
      add_custom_command(
        OUTPUT ${icpp}
        COMMAND ${LAUNCHER_EMBED} ${R_ICON} ${icpp} MAINICON
        DEPENDS ${R_ICON} embed
        VERBATIM)
      list(APPEND generated ${icpp})
    endif()
  endif()
  set(${out_var} ${${out_var}} ${generated} PARENT_SCOPE)
endfunction()
