# cmake -DCONTENT=<dir> -DSTAGES=<dir> -DDESTINATION=<dir> -P StagePack.cmake
#
# Mirrors exactly what goes into the data pack into DESTINATION: the folders "font",
# "graphic" and "sound" of the content staging tree CONTENT (which is also CMake's build
# folder for content/, so it holds build files that must stay out of the pack), and the
# compiled normal stages (*.pzd) of STAGES as "stage/normal". New and changed files are
# copied with their time stamps (an unchanged tree leaves the pack untouched); files that
# vanished from the sources are removed. Missing sources leave their folders empty.
cmake_minimum_required(VERSION 3.25)
set(wanted)
foreach(folder font graphic sound)
  if(EXISTS ${CONTENT}/${folder})
    file(GLOB_RECURSE files RELATIVE ${CONTENT} ${CONTENT}/${folder}/*)
    foreach(file IN LISTS files)
      get_filename_component(subdir ${file} DIRECTORY)
      file(COPY ${CONTENT}/${file} DESTINATION ${DESTINATION}/${subdir})
      list(APPEND wanted ${file})
    endforeach()
  endif()
endforeach()
if(EXISTS ${STAGES})
  file(GLOB stages RELATIVE ${STAGES} ${STAGES}/*.pzd)
  foreach(stage IN LISTS stages)
    file(COPY ${STAGES}/${stage} DESTINATION ${DESTINATION}/stage/normal)
    list(APPEND wanted stage/normal/${stage})
  endforeach()
endif()
file(MAKE_DIRECTORY ${DESTINATION})
file(GLOB_RECURSE present RELATIVE ${DESTINATION} ${DESTINATION}/*)
foreach(file IN LISTS present)
  if(NOT file IN_LIST wanted)
    file(REMOVE ${DESTINATION}/${file})
  endif()
endforeach()
