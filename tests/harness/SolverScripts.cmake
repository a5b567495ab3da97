# Whole-game checks of the solver's side of the game, one script per shipped normal stage of
# content/stages/solutions.txt (which gives each stage's fewest turns):
#   - the stage select shows the fewest turns under its fifth caption (y 352);
#   - from the start, asking for the hint and doing what it says, as many times as the
#     fewest turns, clears the stage (a longer way would leave a frog): the clear shows the
#     fewest-possible box, and back on the list the star stands beside the best record.
# Needs PuzzlePlayScripts.cmake's helpers (included before this file).

set(solver_play_dir ${CMAKE_CURRENT_BINARY_DIR}/solver-play)
file(MAKE_DIRECTORY ${solver_play_dir})

# Script lines that ask for the hint and do what it says, TURNS times over, checking before
# each that the position is no dead end.
function(solver_follow_hints turns out)
  set(lines "")
  foreach(step RANGE 1 ${turns})
    string(APPEND lines "# turn ${step}\nexpect-dead-end no\npress hint\nwait-solver\nplay-hint\nwait ${puzzle_action_wait}\nwait-solver\n")
  endforeach()
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()
foreach(line IN LISTS solution_lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  string(REPLACE "\t" ";" fields "${line}")
  list(GET fields 0 kind)
  list(GET fields 1 file)
  list(GET fields 2 turns)
  if(NOT kind STREQUAL "normal")
    continue()
  endif()
  list(FIND puzzle_normal_stage_order ${file} position)
  string(REPEAT "press down\n" ${position} downs)
  solver_follow_hints(${turns} follow)
  string(REGEX REPLACE "\\.pzd$" "" stem "${file}")
  set(script ${solver_play_dir}/solver-hints-${position}.script)
  file(WRITE ${script}
    "# Generated from solutions.txt: ${file}, fewest turns ${turns}, cleared by following hints.\n"
    "idle\npress confirm\nidle\nexpect-scene 2\npress confirm\nexpect-scene 3\nidle\nwait 12\n${downs}frames 1\n"
    "expect-number 352 ${turns}\n"
    "clear-draws\nexpect-not-drawn stageselect_marks.png 0 0\n"
    "press confirm\nexpect-scene 4\nidle\nwait 2\nexpect-scene 4\nwait-solver\n"
    "clear-draws\n${follow}"
    "# Cleared in the fewest turns: the clear, then after the turns box the fewest-possible box.\n"
    "wait 1\nexpect-drawn dialogue.png 0 192\n"
    "${puzzle_clear_lines}"
    "expect-drawn puzzle_solver.png 0 0\n"
    "expect-save record normal ${file} ${turns}\n"
    "idle\nwait 30\n${downs}clear-draws\nframes 1\nexpect-number 96 ${turns}\nexpect-number 352 ${turns}\n"
    "expect-drawn stageselect_marks.png 0 0\n")
  add_test(NAME harness_solver_hints_${position} COMMAND tomarugi-harness ${script})
  set_tests_properties(harness_solver_hints_${position} PROPERTIES LABELS "harness;puzzlescene;solver" TIMEOUT 180)

  if(file STREQUAL "練習問題１.pzd")
    # A longer clear (two extra slides first) earns no star and no fewest-possible box; the
    # fewest turns after it bring both.
    list(GET fields 3 move_text)
    string(REPLACE " " ";" moves "${move_text}")
    puzzle_moves_to_script("D;U;${moves}" worse)
    puzzle_moves_to_script("${moves}" best)
    puzzle_enter_script(${file} enter)
    puzzle_choose_script(${file} choose)
    math(EXPR worse_turns "${turns} + 2")
    set(script ${solver_play_dir}/solver-star.script)
    file(WRITE ${script}
      "# Generated from solutions.txt: ${file} cleared in ${worse_turns}, then in ${turns} turns.\n"
      "${enter}wait-solver\nclear-draws\n${worse}${puzzle_clear_lines}"
      "expect-not-drawn puzzle_solver.png 0 0\nexpect-save record normal ${file} ${worse_turns}\n"
      "idle\nwait 30\nclear-draws\nframes 1\nexpect-number 96 ${worse_turns}\nexpect-number 352 ${turns}\n"
      "expect-not-drawn stageselect_marks.png 0 0\n"
      "press confirm\nexpect-scene 4\nidle\nwait 2\nwait-solver\nclear-draws\n${best}${puzzle_clear_lines}"
      "expect-drawn puzzle_solver.png 0 0\nexpect-save record normal ${file} ${turns}\n"
      "idle\nwait 30\nclear-draws\nframes 1\nexpect-number 96 ${turns}\nexpect-drawn stageselect_marks.png 0 0\n")
    add_test(NAME harness_solver_star COMMAND tomarugi-harness ${script})
    set_tests_properties(harness_solver_star PROPERTIES LABELS "harness;puzzlescene;solver" TIMEOUT 180)
  endif()
endforeach()

# The same for every shipped extra stage, reached from the title's extra entry: the list is
# in name order, so a stage's place is its place among the sorted file names (the numbered
# names sort alike in UTF-8 and Shift-JIS). The extra stages' fewest turns come from the
# stage select's own solver thread, so each script waits for it before reading the number.
set(extra_files)
foreach(line IN LISTS solution_lines)
  if(line MATCHES "^extra\t([^\t]+)\t")
    list(APPEND extra_files "${CMAKE_MATCH_1}")
  endif()
endforeach()
set(extra_order ${extra_files})
list(SORT extra_order)
foreach(line IN LISTS solution_lines)
  if(NOT line MATCHES "^extra\t")
    continue()
  endif()
  string(REPLACE "\t" ";" fields "${line}")
  list(GET fields 1 file)
  list(GET fields 2 turns)
  list(FIND extra_order ${file} position)
  string(REPEAT "press down\n" ${position} downs)
  solver_follow_hints(${turns} follow)
  set(script ${solver_play_dir}/solver-hints-extra-${position}.script)
  file(WRITE ${script}
    "# Generated from solutions.txt: extra stage ${file}, fewest turns ${turns}, cleared by following hints.\n"
    "idle\npress confirm\nidle\nexpect-scene 2\npress down\npress confirm\nexpect-scene 3\nidle\nwait 2\nwait-solver\n"
    "${downs}frames 1\nexpect-stage-kind extra\nexpect-number 352 ${turns}\n"
    "press confirm\nexpect-scene 4\nidle\nwait 2\nexpect-stage-name ${file}\nwait-solver\n"
    "clear-draws\n${follow}"
    "wait 1\nexpect-drawn dialogue.png 0 192\n"
    "${puzzle_clear_lines}"
    "expect-drawn puzzle_solver.png 0 0\n"
    "# (the record is read back from the list's panel: the names hold spaces)\n"
    "idle\nwait 30\nwait-solver\n${downs}clear-draws\nframes 1\nexpect-number 96 ${turns}\nexpect-number 352 ${turns}\n"
    "expect-drawn stageselect_marks.png 0 0\n")
  add_test(NAME harness_solver_hints_extra_${position} COMMAND tomarugi-harness ${script})
  set_tests_properties(harness_solver_hints_extra_${position} PROPERTIES LABELS "harness;puzzlescene;solver" TIMEOUT 180)
endforeach()
