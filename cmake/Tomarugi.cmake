# Build helpers shared by every folder of the project.

# Warnings on everywhere; the build stays quiet.
add_compile_options(-Wall -Wextra)
if(TOMARUGI_WERROR)
  add_compile_options(-Werror)
endif()

if(TOMARUGI_FUZZ)
  # Every library is instrumented for coverage and checked by address and undefined
  # behaviour sanitizers; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# TOMARUGI_SANITIZE: a sanitizer build of the whole tree ("address,undefined" or "thread").
# The flags go on every target, executables and plug-in modules alike, so a sanitized program
# that dlopen's a .lmp loads an instrumented one, and the content generators run at build time
# are instrumented too (they read fonts, pictures and sounds: exactly the readers worth
# checking). Undefined behaviour aborts instead of printing and going on, so a test fails.
set(TOMARUGI_SANITIZE "" CACHE STRING "Sanitizers for the whole build: address,undefined or thread (empty: none)")
if(TOMARUGI_SANITIZE AND TOMARUGI_FUZZ)
  message(FATAL_ERROR "TOMARUGI_SANITIZE and TOMARUGI_FUZZ are separate configurations; the fuzz build already uses address,undefined")
endif()
if(TOMARUGI_SANITIZE)
  if(NOT TOMARUGI_SANITIZE MATCHES "^(address,undefined|undefined,address|address|undefined|thread)$")
    message(FATAL_ERROR "TOMARUGI_SANITIZE: expected address,undefined or thread, got '${TOMARUGI_SANITIZE}'")
  endif()
  add_compile_options(-fsanitize=${TOMARUGI_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${TOMARUGI_SANITIZE})
  if(TOMARUGI_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# tomarugi_add_plugin(NAME SOURCES...): a plug-in library "<NAME>.lmp" in the game folder.
# Everything is hidden except what the sources mark with default visibility (the single
# unmangled export); plug-ins resolve every symbol at load time.
function(tomarugi_add_plugin name)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    SUFFIX ".lmp"
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${TOMARUGI_GAME_DIR}
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # In the fuzz build the sanitizer runtime lives in the program that loads the plug-in,
  # so a plug-in cannot resolve every symbol on its own there. The same holds for clang's
  # static sanitizer runtimes; g++ links a module against the shared runtime (libasan.so,
  # libubsan.so, libtsan.so), so its symbols stay resolved.
  if(NOT TOMARUGI_FUZZ AND NOT (TOMARUGI_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  # Every plug-in records the C library it runs on, even one that calls only weak or inlined
  # libc functions (Common.lmp, OggVorbis.lmp), which the compiler's default --as-needed
  # would leave unrecorded: the loader then initialises libc before the plug-in whatever
  # loads it, and Debian's checks require it of a shared object. Given to the linker itself
  # (-Wl,-lc), since the compiler driver moves a plain -lc behind its own --as-needed.
  target_link_options(${name} PRIVATE -Wl,--push-state,--no-as-needed,-lc,--pop-state)
endfunction()

# tomarugi_add_gtest(NAME LABEL <label> SOURCES <files...> LIBS <targets...>)
# A GoogleTest program whose cases each become one CTest test carrying the label.
function(tomarugi_add_gtest name)
  cmake_parse_arguments(ARG "" "LABEL;WORKING_DIRECTORY" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY}
    PROPERTIES LABELS "${ARG_LABEL}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# tomarugi_add_fuzzer(NAME SOURCES <files...> LIBS <targets...> [CORPUS <dir>] [ARGS <libFuzzer flags>])
# A libFuzzer target (fuzz build only) and a CTest entry that runs it for
# TOMARUGI_FUZZ_SECONDS over a scratch copy of its committed seed corpus.
function(tomarugi_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzz_all ${name})
  set(scratch ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  set(seeds)
  if(ARG_CORPUS)
    set(seeds ${ARG_CORPUS})
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env
      sh -c "mkdir -p '${scratch}' && exec \"$0\" \"$@\"" $<TARGET_FILE:${name}>
      -max_total_time=${TOMARUGI_FUZZ_SECONDS} -rss_limit_mb=2048 -print_final_stats=1
      ${ARG_ARGS} ${scratch} ${seeds})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
  # What scripts/fuzz needs to run the target for longer: the program, its seed folder
  # (read only: runs go over a copy) and its own libFuzzer flags, one per line.
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz-targets/${name}.txt
    CONTENT "$<TARGET_FILE:${name}>\n${seeds}\n$<JOIN:${ARG_ARGS}, >\n")
endfunction()
