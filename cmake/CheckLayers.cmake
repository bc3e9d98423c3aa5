# Checks the includes of one source folder against the folders it may use.
# Run as a build step (cmake -P), so a forbidden include fails the build:
#
#   cmake -DROOT=<source dir> -DFOLDER=panel -DALLOWED=core,link,ui,panel
#         [-DEXCEPTIONS=main.cpp=sim,...] -DSTAMP=<file> -P CheckLayers.cmake
#
# An include is checked when it names a file of the project by its top
# folder ("panel/PanelMirror.h"); system and Qt headers are not. EXCEPTIONS
# lets one file of the folder use one more folder (file=folder;...).
cmake_minimum_required(VERSION 3.25)

foreach(var ROOT FOLDER ALLOWED STAMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckLayers.cmake needs -D${var}=...")
  endif()
endforeach()

string(REPLACE "," ";" ALLOWED "${ALLOWED}")
string(REPLACE "," ";" EXCEPTIONS "${EXCEPTIONS}")

# The project's top folders: an include naming one of them is the project's.
file(GLOB entries LIST_DIRECTORIES true RELATIVE "${ROOT}" "${ROOT}/*")
set(project_folders)
foreach(entry ${entries})
  if(IS_DIRECTORY "${ROOT}/${entry}" AND NOT entry MATCHES "^(\\.|build)")
    list(APPEND project_folders "${entry}")
  endif()
endforeach()

file(GLOB_RECURSE sources "${ROOT}/${FOLDER}/*.h" "${ROOT}/${FOLDER}/*.cpp")
set(violations)
foreach(source ${sources})
  file(RELATIVE_PATH shown "${ROOT}" "${source}")
  get_filename_component(file_name "${source}" NAME)
  set(allowed_here ${ALLOWED})
  foreach(exception ${EXCEPTIONS})
    if(exception MATCHES "^([^=]+)=(.+)$" AND CMAKE_MATCH_1 STREQUAL file_name)
      list(APPEND allowed_here "${CMAKE_MATCH_2}")
    endif()
  endforeach()
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/[^\"]*\"")
      continue()
    endif()
    set(used "${CMAKE_MATCH_1}")
    if(NOT used IN_LIST project_folders OR used IN_LIST allowed_here)
      continue()
    endif()
    string(STRIP "${line}" line)
    list(APPEND violations "  ${shown}: ${line}")
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" listed)
  string(REPLACE ";" ", " allowed_text "${ALLOWED}")
  message(FATAL_ERROR
    "Layering: ${FOLDER}/ may include only ${allowed_text}, but\n${listed}\n"
    "Move what both sides need into a folder both may use (ui/ for windows, "
    "core/ for everything), or pass it in through a hook.")
endif()
get_filename_component(stamp_dir "${STAMP}" DIRECTORY)
file(MAKE_DIRECTORY "${stamp_dir}")
file(TOUCH "${STAMP}")
