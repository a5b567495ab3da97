# tomarugi_add_pack(NAME <target> OUTPUT <file.lpk> DIRECTORY <staged dir>
#                   [PASSWORD <password>] [DEPENDS <targets...>] [ALL])
#
# Builds a data pack at build time from a staged directory: every file under DIRECTORY
# goes in under its path relative to DIRECTORY (converted to Shift-JIS). DEPENDS names the
# targets that fill the staged directory; they run first. PASSWORD defaults to the game's
# own. With ALL the pack is part of the default build.
#
# The target runs on every build, because files may appear in or vanish from the staged
# directory without any rule knowing; the packer (--update) compares the staged files with
# the pack and leaves an up-to-date pack untouched, time stamp included.
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
  set(all_flag)
  if(ARG_ALL)
    set(all_flag ALL)
  endif()
  get_filename_component(output_name ${ARG_OUTPUT} NAME)
  get_filename_component(output_directory ${ARG_OUTPUT} DIRECTORY)
  add_custom_target(${ARG_NAME} ${all_flag}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_DIRECTORY} ${output_directory}
    COMMAND tomarugi-pack create ${ARG_OUTPUT} --password ${ARG_PASSWORD} --update ${ARG_DIRECTORY}
    BYPRODUCTS ${ARG_OUTPUT}
    COMMENT "Packing ${ARG_DIRECTORY} into ${output_name}"
    VERBATIM)
  add_dependencies(${ARG_NAME} tomarugi-pack ${ARG_DEPENDS})
endfunction()
