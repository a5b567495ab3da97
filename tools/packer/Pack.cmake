# tomarugi_add_pack(NAME <target> OUTPUT <file.lpk> DIRECTORY <staged dir>
#                   [PASSWORD <password>] [DEPENDS <targets or files...>] [ALL])
#
# Builds a data pack at build time from a staged directory: every file under DIRECTORY
# goes in under its path relative to DIRECTORY (converted to Shift-JIS). The packer
# writes a dependency file naming every file and folder it read, so changing, adding or
# removing a staged file rebuilds the pack on the next build. DEPENDS names the targets
# (or files) that fill the staged directory; they run first. PASSWORD defaults to the
# game's own. With ALL the pack is part of the default build.
#
# The game's pack:
#   tomarugi_add_pack(NAME data_pack OUTPUT ${TOMARUGI_GAME_DIR}/data.lpk
#                     DIRECTORY ${CMAKE_BINARY_DIR}/staged-data DEPENDS <content targets> ALL)
function(tomarugi_add_pack)
  cmake_parse_arguments(ARG "ALL" "NAME;OUTPUT;DIRECTORY;PASSWORD" "DEPENDS" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_OUTPUT OR NOT ARG_DIRECTORY)
    message(FATAL_ERROR "tomarugi_add_pack needs NAME, OUTPUT and DIRECTORY")
  endif()
  if(NOT DEFINED ARG_PASSWORD)
    set(ARG_PASSWORD "hasunohanagasaku") # the password the game opens its pack with
  endif()
  get_filename_component(output_name ${ARG_OUTPUT} NAME)
  get_filename_component(output_directory ${ARG_OUTPUT} DIRECTORY)
  set(depfile ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.d)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_DIRECTORY} ${output_directory}
    COMMAND tomarugi-pack create ${ARG_OUTPUT} --password ${ARG_PASSWORD}
            --depfile ${depfile} ${ARG_DIRECTORY}
    DEPENDS tomarugi-pack ${ARG_DEPENDS}
    DEPFILE ${depfile}
    COMMENT "Packing ${ARG_DIRECTORY} into ${output_name}"
    VERBATIM)
  if(ARG_ALL)
    add_custom_target(${ARG_NAME} ALL DEPENDS ${ARG_OUTPUT})
  else()
    add_custom_target(${ARG_NAME} DEPENDS ${ARG_OUTPUT})
  endif()
endfunction()
