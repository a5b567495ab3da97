# Replays and the solver's solution, played on the real game by generated scripts: the
# moves come from the solver's fixture (content/stages/solutions.txt), never copied by hand.
# Uses the helpers of PuzzlePlayScripts.cmake (included before this file).

# The fixture's turns and moves (a list) of a stage file.
function(replay_fixture file turns_var moves_var)
  file(STRINGS ${PROJECT_SOURCE_DIR}/content/stages/solutions.txt lines ENCODING UTF-8)
  foreach(line IN LISTS lines)
    string(REPLACE "\t" ";" fields "${line}")
    list(LENGTH fields count)
    if(count EQUAL 4)
      list(GET fields 1 name)
      if(name STREQUAL file)
        list(GET fields 2 turns)
        list(GET fields 3 text)
        string(REPLACE " " ";" moves "${text}")
        set(${turns_var} ${turns} PARENT_SCOPE)
        set(${moves_var} "${moves}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  message(FATAL_ERROR "solutions.txt has no ${file}")
endfunction()

set(replay_dir ${CMAKE_CURRENT_BINARY_DIR}/replay)
file(MAKE_DIRECTORY ${replay_dir})
# The in-game menu's sixth line, "show the solution": up from the first line wraps to it.
set(replay_menu_solution "press c\npress up\npress confirm\n")
# The end of a replay's clear: its messages, then confirm goes back.
set(replay_clear_back "wait 750\npress confirm\nwait 2\n")

# 練習問題１ cleared in the fixture's turns + 2 (down and back up first), then in the
# fixture's turns: the moves kept are the better clear's, and the stage select's replay key
# plays them to the clear in those turns, at 1x and 2x, storing nothing and showing no
# new-record box, then returns to the stage select.
replay_fixture(練習問題１.pzd practice_turns practice_moves)
math(EXPR practice_worse "${practice_turns} + 2")
puzzle_enter_script(練習問題１.pzd practice_enter)
puzzle_choose_script(練習問題１.pzd practice_choose)
puzzle_moves_to_script("D;U;${practice_moves}" practice_worse_play)
puzzle_moves_to_script("${practice_moves}" practice_play)
file(WRITE ${replay_dir}/replay-best.script
  "# Generated from solutions.txt: 練習問題１ in ${practice_worse}, then ${practice_turns} turns; its replay.\n"
  "${practice_enter}${practice_worse_play}${puzzle_clear_lines}"
  "expect-save record normal 練習問題１.pzd ${practice_worse}\n"
  "${practice_choose}${practice_play}${puzzle_clear_lines}"
  "expect-save record normal 練習問題１.pzd ${practice_turns}\n"
  "idle\nwait 30\nclear-draws\nframes 1\n"
  "# The panel shows the replay key's tag beside the best record, and the solution key's.\n"
  "expect-drawn puzzle_replay.png 0 256\nexpect-drawn puzzle_replay.png 128 256\n"
  "press hint\nexpect-scene 4\nidle\nwait 2\nclear-draws\nwait 2\n"
  "expect-replay player ${practice_turns}\n"
  "# The caption (whose replay), the 1x speed and the key line.\n"
  "expect-drawn puzzle_replay.png 0 0\nexpect-drawn puzzle_replay.png 0 64\nexpect-drawn puzzle_replay.png 0 224\n"
  "press right\nclear-draws\nwait 2\nexpect-drawn puzzle_replay.png 64 64\n"
  "wait-turns ${practice_turns}\nwait 10\nexpect-drawn dialogue.png 0 192\n"
  "expect-not-drawn dialogue.png 0 64\n${replay_clear_back}"
  "expect-scene 3\nexpect-save record normal 練習問題１.pzd ${practice_turns}\n"
  "# Cancel ends a replay at once: back to the stage select.\n"
  "idle\nwait 30\npress hint\nexpect-scene 4\nidle\nwait 30\nexpect-replay player\npress cancel\nwait 2\nexpect-scene 3\n"
  "# The solution key on a stage cleared once: the solver's fewest turns, from the start.\n"
  "idle\nwait 30\npress v\nexpect-scene 4\nidle\nwait 2\nwait-solver\nexpect-replay solver ${practice_turns}\n"
  "wait-turns ${practice_turns}\n${replay_clear_back}expect-scene 3\n"
  "expect-save record normal 練習問題１.pzd ${practice_turns}\n")
add_test(NAME harness_replay_best COMMAND tomarugi-harness ${replay_dir}/replay-best.script)
set_tests_properties(harness_replay_best PROPERTIES LABELS "harness;puzzlescene" TIMEOUT 180)

# 体験版Hard: the solver's solution from the start (the in-game menu on the untouched board)
# clears in the fixture's turns; after two of its moves, the solution from there clears in
# the turns left; either way the end returns to the play, where it was.
replay_fixture(体験版Hard.pzd hard_turns hard_moves)
# The panel's digits at y 422 read left to right: the frogs left (six on this board, none
# thawed by the first two moves of its solution: a push and a slide), then the turns.
set(hard_frogs 6)
list(SUBLIST hard_moves 0 2 hard_first_two)
math(EXPR hard_left "${hard_turns} - 2")
puzzle_enter_script(体験版Hard.pzd hard_enter)
puzzle_moves_to_script("${hard_first_two}" hard_two)
file(WRITE ${replay_dir}/solution-hard.script
  "# Generated from solutions.txt: 体験版Hard's solution from the start and after two moves.\n"
  "${hard_enter}expect-number 422 ${hard_frogs}0\n${replay_menu_solution}wait-solver\n"
  "expect-replay solver ${hard_turns}\nclear-draws\nwait 2\nexpect-drawn puzzle_replay.png 0 32\n"
  "wait-turns ${hard_turns}\nwait 10\n# Cancel during the clear's messages goes back at once.\npress cancel\nwait 2\n"
  "expect-scene 4\nexpect-replay none\nexpect-number 422 ${hard_frogs}0\nexpect-save record normal 体験版Hard.pzd 0\n"
  "${hard_two}expect-number 422 ${hard_frogs}2\n${replay_menu_solution}wait-solver\n"
  "expect-replay solver ${hard_left}\nwait-turns ${hard_turns}\n${replay_clear_back}"
  "expect-scene 4\nexpect-replay none\nexpect-number 422 ${hard_frogs}2\nexpect-save record normal 体験版Hard.pzd 0\n"
  "# After a give up, the hint key shows the solution from the start; cancel comes back.\n"
  "press c\npress down\npress down\npress confirm\npress down\npress confirm\nwait 2\n"
  "clear-draws\nframes 1\nexpect-drawn puzzle_logo_menu_solution.png 0 0\n"
  "press hint\nwait-solver\nexpect-replay solver ${hard_turns}\nwait 200\npress cancel\nwait 2\n"
  "expect-replay none\nclear-draws\nwait 2\nexpect-drawn dialogue.png 0 320\nexpect-scene 4\n")
add_test(NAME harness_solution_hard COMMAND tomarugi-harness ${replay_dir}/solution-hard.script)
set_tests_properties(harness_solution_hard PROPERTIES LABELS "harness;puzzlescene;solver" TIMEOUT 180)

# 練習問題２ after a first thaw of the wrong frog (its fixture's dead end, see the stage
# tool's hint tests): the menu's solution has nothing to show; a notice says so and the
# play comes back where it was.
puzzle_enter_script(練習問題２.pzd second_enter)
puzzle_moves_to_script("TR" second_dead_end)
file(WRITE ${replay_dir}/solution-dead-end.script
  "# No solution from a dead end: the notice, then back to the play.\n"
  "${second_enter}${second_dead_end}wait-solver\nexpect-dead-end yes\n${replay_menu_solution}wait-solver\n"
  "expect-replay notice\nclear-draws\nwait 2\nexpect-drawn puzzle_replay.png 0 160\nwait 200\n"
  "expect-replay none\nexpect-scene 4\nexpect-number 422 11\n")
add_test(NAME harness_solution_dead_end COMMAND tomarugi-harness ${replay_dir}/solution-dead-end.script)
set_tests_properties(harness_solution_dead_end PROPERTIES LABELS "harness;puzzlescene;solver" TIMEOUT 120)

# An extra stage cleared, its record proven by the stage tool, the file edited, and then the
# replay refused with its notice and the screen back on the stage select (replay-changed.sh).
if(TOMARUGI_SQLITE3)
  replay_fixture("1-01 すべりだし.pzd" extra_turns extra_moves)
  puzzle_moves_to_script("${extra_moves}" extra_play)
  set(extra_enter "idle\npress confirm\nidle\nexpect-scene 2\npress down\npress confirm\nidle\nwait 30\n"
                  "expect-scene 3\nexpect-stage-kind extra\n")
  string(REPLACE ";" "" extra_enter "${extra_enter}")
  file(WRITE ${replay_dir}/replay-extra-clear.script
    "# Generated from solutions.txt: 1-01 すべりだし cleared in ${extra_turns} turns.\n"
    "${extra_enter}press confirm\nexpect-scene 4\nidle\nwait 2\n${extra_play}${puzzle_clear_lines}"
    "idle\nwait 30\nexpect-scene 3\n")
  file(WRITE ${replay_dir}/replay-extra-changed.script
    "# The stage file was edited after its record: the replay says so and returns.\n"
    "${extra_enter}press hint\nexpect-scene 4\nidle\nwait 2\nexpect-replay notice\n"
    "clear-draws\nwait 2\nexpect-drawn puzzle_replay.png 0 96\nwait 200\nexpect-scene 3\n")
  add_test(NAME harness_replay_changed
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/replay-changed.sh $<TARGET_FILE:tomarugi-harness>
            ${replay_dir}/replay-extra-clear.script ${replay_dir}/replay-extra-changed.script
            ${TOMARUGI_GAME_DIR} $<TARGET_FILE:tomarugi-stage> "1-01 すべりだし.pzd" ${extra_turns})
  set_tests_properties(harness_replay_changed PROPERTIES LABELS "harness;puzzlescene" TIMEOUT 180)
endif()
