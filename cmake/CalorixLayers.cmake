# The folders of the source tree, what each may include, and the build step
# that holds every library to it.
#
#   core  -> core
#   link  -> core, link
#   sim   -> core, sim
#   plot  -> core, plot                         (trend data, log readers, export; no widget)
#   tuning -> core, plot, tuning                (identification and tuning; no widget)
#   ui    -> core, link, plot, ui               (the window kit)
#   <window folder> -> core, link, plot, ui, itself (panel, programs, pid, tools, trend)
#   app   -> core, link, plot, ui, the window folders, app; sim only from app/main.cpp
#   cli   -> core, link, plot, tuning, cli
#   tools -> the window base, tools, tuning
#   tests/, bench/, fuzz/ -> anything
#
# The rules form no cycle: every folder uses only folders above it in this list.

set(CALORIX_LAYERS_core core)
set(CALORIX_LAYERS_link core link)
set(CALORIX_LAYERS_sim core sim)
set(CALORIX_LAYERS_plot core plot)
set(CALORIX_LAYERS_ui core link plot ui)
set(CALORIX_LAYERS_tuning core plot tuning)
set(CALORIX_LAYERS_cli core link plot tuning cli)
set(CALORIX_WINDOW_BASE core link plot ui)

# Adds a build step to target that checks the includes of folder; the target
# is not compiled until they pass. EXCEPTIONS: file=folder pairs.
function(calorix_check_layers target folder)
  cmake_parse_arguments(ARG "" "" "ALLOWED;EXCEPTIONS" ${ARGN})
  file(GLOB_RECURSE checked CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h
       ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  set(stamp ${CMAKE_BINARY_DIR}/layers/${folder}.checked)
  # Lists travel comma-separated: a ";" would split the command line.
  string(REPLACE ";" "," allowed "${ARG_ALLOWED}")
  string(REPLACE ";" "," exceptions "${ARG_EXCEPTIONS}")
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DFOLDER=${folder}
            -DALLOWED=${allowed} -DEXCEPTIONS=${exceptions} -DSTAMP=${stamp}
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    DEPENDS ${checked} ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking the includes of ${folder}/"
    VERBATIM)
  add_custom_target(${target}_layers DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layers)
  set_property(GLOBAL APPEND PROPERTY CALORIX_CHECKED_FOLDERS ${folder})
endfunction()

# Every top folder with sources must be checked by some library (tests/,
# bench/ and fuzz/ may use anything): a folder added without its layer fails here.
function(calorix_require_layers)
  get_property(checked GLOBAL PROPERTY CALORIX_CHECKED_FOLDERS)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/*)
  foreach(entry ${entries})
    if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${entry} OR entry IN_LIST checked
       OR entry MATCHES "^(tests|bench|fuzz|\\.|build)")
      continue()
    endif()
    file(GLOB_RECURSE sources ${CMAKE_SOURCE_DIR}/${entry}/*.h ${CMAKE_SOURCE_DIR}/${entry}/*.cpp)
    if(sources)
      message(FATAL_ERROR "${entry}/ has sources but no layer: build it with calorix_library "
                          "or calorix_window_library (cmake/CalorixLayers.cmake lists the rules).")
    endif()
  endforeach()
endfunction()
