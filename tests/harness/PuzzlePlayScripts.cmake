# Whole-game play-throughs made from the solver's fixture solutions
# (content/stages/solutions.txt), so the moves are never copied by hand. Each stage gets a
# script that goes from the title through the stage select, plays its solution to the clear
# and checks the stored record;
# the first practice stage also gets a replay script: a worse clear keeps the record, an
# equal one shows no new-record message.
#
# Moves: U D L R slide (press the direction); P<d> face the frog on side d (a press that
# cannot slide, the frog blocks it) and push (confirm, 16); T<d> face and thaw (cancel, 17).
# Every action is followed by a wait long enough for the longest slide, push or thaw.

set(puzzle_action_wait 150) # updates: 15 cells of slide, or a thaw and then some

# The script lines that play `moves` (a list of move words).
function(puzzle_moves_to_script moves out_var)
  set(lines "")
  foreach(move IN LISTS moves)
    string(SUBSTRING "${move}" 0 1 first)
    string(LENGTH "${move}" length)
    if(length EQUAL 1)
      set(direction ${first})
      set(action "")
    else()
      string(SUBSTRING "${move}" 1 1 direction)
      if(first STREQUAL "P")
        set(action confirm)
      elseif(first STREQUAL "T")
        set(action cancel)
      else()
        message(FATAL_ERROR "unknown move '${move}' in solutions.txt")
      endif()
    endif()
    if(direction STREQUAL "U")
      set(button up)
    elseif(direction STREQUAL "D")
      set(button down)
    elseif(direction STREQUAL "L")
      set(button left)
    elseif(direction STREQUAL "R")
      set(button right)
    else()
      message(FATAL_ERROR "unknown direction in move '${move}' in solutions.txt")
    endif()
    string(APPEND lines "# ${move}\npress ${button}\n")
    if(action)
      string(APPEND lines "press ${action}\n")
    endif()
    string(APPEND lines "wait ${puzzle_action_wait}\n")
  endforeach()
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# The normal stages in the order the stage select lists them (the catalogue's table).
set(puzzle_normal_stage_order 練習問題１.pzd 練習問題２.pzd 体験版Easy.pzd 体験版Normal.pzd 体験版Hard.pzd)

# From the stage select into the puzzle of a normal stage, loaded and playing.
function(puzzle_choose_script file out_var)
  list(FIND puzzle_normal_stage_order ${file} position)
  if(position LESS 0)
    message(FATAL_ERROR "solutions.txt names ${file}, which the stage select does not list")
  endif()
  set(lines "expect-scene 3\nidle\nwait 12\n")
  foreach(i RANGE 1 ${position})
    if(position GREATER 0)
      string(APPEND lines "press down\n")
    endif()
  endforeach()
  string(APPEND lines "press confirm\nexpect-scene 4\nexpect-stage-name ${file}\nidle\nwait 2\nexpect-scene 4\n")
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# From the start-up screen through the title's first item (normal stages) into a puzzle.
function(puzzle_enter_script file out_var)
  puzzle_choose_script(${file} choose)
  set(${out_var} "idle\npress confirm\nidle\nexpect-scene 2\npress confirm\n${choose}" PARENT_SCOPE)
endfunction()

# After the last move: the clear's messages run (a confirm press before they end is
# ignored), then confirm leaves for the stage select.
set(puzzle_clear_lines "expect-scene 4\npress confirm\nexpect-scene 4\nwait 750\npress confirm\nwait 1\nexpect-scene 3\n")

file(STRINGS ${PROJECT_SOURCE_DIR}/content/stages/solutions.txt solution_lines ENCODING UTF-8)
set(puzzle_play_dir ${CMAKE_CURRENT_BINARY_DIR}/puzzle-play)
file(MAKE_DIRECTORY ${puzzle_play_dir})
set(puzzle_play_index 0)
foreach(line IN LISTS solution_lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  string(REPLACE "\t" ";" fields "${line}")
  list(LENGTH fields field_count)
  if(NOT field_count EQUAL 4)
    message(FATAL_ERROR "solutions.txt: a line needs kind, file, turns and moves: ${line}")
  endif()
  list(GET fields 0 kind)
  list(GET fields 1 file)
  list(GET fields 2 turns)
  list(GET fields 3 move_text)
  string(REPLACE " " ";" moves "${move_text}")
  if(kind STREQUAL "extra")
    # Extra stages are played from a disk folder of the test's own (stageselect-extra-play.sh)
    # holding two copies of the first extra stage, one named in Japanese and one with quotes;
    # the list shows them in name order, and each is played once
    # (top line, then the second line) and the save file is checked by name afterwards.
    if(file STREQUAL "おまけ１.pzd" AND TOMARUGI_SQLITE3)
      puzzle_moves_to_script("${moves}" play)
      set(decide "press confirm\nexpect-scene 4\nexpect-stage-kind extra\nidle\nwait 2\nexpect-scene 4\n")
      set(back "${puzzle_clear_lines}idle\nwait 30\n")
      set(script ${puzzle_play_dir}/puzzle-play-extra.script)
      file(WRITE ${script}
        "# Generated from solutions.txt: copies of ${file}, each cleared in ${turns} turns.\n"
        "idle\npress confirm\nidle\npress down\npress confirm\nidle\nwait 30\n"
        "expect-scene 3\nexpect-stage-kind extra\nexpect-text-count 2\n"
        "expect-text * 氷の池\nexpect-text * it's \"frog\"\nexpect-number 96 0\n"
        "${decide}${play}${back}"
        "# Back on the list (cursor on the top line again): its best record is the clear's.\n"
        "expect-scene 3\nexpect-number 96 ${turns}\npress down\nframes 1\nexpect-number 96 0\n"
        "${decide}${play}${back}"
        "expect-scene 3\nexpect-number 96 ${turns}\npress down\nframes 1\nexpect-number 96 ${turns}\n")
      add_test(NAME harness_puzzle_play_extra
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/stageselect-extra-play.sh $<TARGET_FILE:tomarugi-harness>
                ${script} ${TOMARUGI_GAME_DIR} ${TOMARUGI_SQLITE3} ${file} ${turns})
      set_tests_properties(harness_puzzle_play_extra PROPERTIES LABELS "harness;puzzlescene" TIMEOUT 180)
    endif()
    continue()
  endif()
  puzzle_enter_script(${file} enter)
  puzzle_choose_script(${file} choose)
  puzzle_moves_to_script("${moves}" play)
  # The rules' sound effects reach the common sounds: a thaw once, a push looped and
  # stopped when the frog arrives.
  set(sound_lines "expect-sound play defrost.wav 0\n")
  if(move_text MATCHES "P[UDLR]")
    string(APPEND sound_lines "expect-sound play frog_drag.wav 1\nexpect-sound stop frog_drag.wav\n")
  endif()
  list(FIND puzzle_normal_stage_order ${file} position)
  string(REPEAT "press down\n" ${position} downs)
  math(EXPR puzzle_play_index "${puzzle_play_index} + 1")
  set(script ${puzzle_play_dir}/puzzle-play-${puzzle_play_index}.script)
  file(WRITE ${script}
    "# Generated from solutions.txt: ${file}, cleared in ${turns} turns.\n"
    "${enter}expect-save record ${kind} ${file} 0\nclear-draws\n${play}${sound_lines}"
    "wait 1\nexpect-drawn dialogue.png 0 192\n"
    "${puzzle_clear_lines}"
    "expect-save record ${kind} ${file} ${turns}\n"
    "# The new-record message (dialogue row 64) was shown.\nexpect-drawn dialogue.png 0 64\n"
    "# Back on the list, the panel's best record (y 96) for this stage is the clear's.\n"
    "idle\nwait 30\n${downs}frames 1\nexpect-number 96 ${turns}\n")
  add_test(NAME harness_puzzle_play_${puzzle_play_index} COMMAND tomarugi-harness ${script})
  set_tests_properties(harness_puzzle_play_${puzzle_play_index} PROPERTIES LABELS "harness;puzzlescene" TIMEOUT 120)

  if(file STREQUAL "練習問題１.pzd")
    # Worse: two extra slides down and back up first. Equal: the solution again.
    puzzle_moves_to_script("D;U;${moves}" worse)
    math(EXPR worse_turns "${turns} + 2")
    set(script ${puzzle_play_dir}/puzzle-replay.script)
    file(WRITE ${script}
      "# Generated from solutions.txt: ${file} cleared in ${turns}, then ${worse_turns}, then ${turns} turns.\n"
      "${enter}${play}${puzzle_clear_lines}expect-save record ${kind} ${file} ${turns}\n"
      "${choose}clear-draws\n${worse}${puzzle_clear_lines}"
      "expect-save record ${kind} ${file} ${turns}\nexpect-drawn dialogue.png 0 256\nexpect-not-drawn dialogue.png 0 64\n"
      "${choose}clear-draws\n${play}${puzzle_clear_lines}"
      "expect-save record ${kind} ${file} ${turns}\nexpect-drawn dialogue.png 0 256\nexpect-not-drawn dialogue.png 0 64\n")
    add_test(NAME harness_puzzle_replay COMMAND tomarugi-harness ${script})
    set_tests_properties(harness_puzzle_replay PROPERTIES LABELS "harness;puzzlescene" TIMEOUT 180)

    # Two copies of the game on one save file (two-copies.sh): A opens the stage while its
    # best is 0; B then clears it in the fewest turns; A clears it after B, in two more. The
    # file keeps B's record, and A shows no new-record box.
    set(script_a ${puzzle_play_dir}/two-copies-a.script)
    set(script_b ${puzzle_play_dir}/two-copies-b.script)
    file(WRITE ${script_a}
      "# Generated from solutions.txt: copy A of two-copies.sh, ${file} in ${worse_turns} turns.\n"
      "${enter}expect-save record ${kind} ${file} 0\nmake-file a-playing\nwait-file b-stored\n"
      "clear-draws\n${worse}${puzzle_clear_lines}"
      "expect-drawn dialogue.png 0 256\nexpect-not-drawn dialogue.png 0 64\n"
      "expect-save record ${kind} ${file} ${turns}\n"
      "# Back on the list, the best record shown is the other copy's.\nidle\nwait 30\nframes 1\nexpect-number 96 ${turns}\n")
    file(WRITE ${script_b}
      "# Generated from solutions.txt: copy B of two-copies.sh, ${file} in ${turns} turns.\n"
      "wait-file a-playing\n${enter}clear-draws\n${play}${puzzle_clear_lines}"
      "expect-drawn dialogue.png 0 64\nexpect-save record ${kind} ${file} ${turns}\nmake-file b-stored\n")
    add_test(NAME harness_two_copies
      COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/two-copies.sh $<TARGET_FILE:tomarugi-harness> ${script_a} ${script_b}
              ${TOMARUGI_GAME_DIR})
    set_tests_properties(harness_two_copies PROPERTIES LABELS "harness;puzzlescene;save" TIMEOUT 240)

    # A clear whose record the save file cannot take (record-not-saved.sh holds the file's
    # write lock meanwhile, as another copy in the middle of a write would): the notice shows
    # in place of the new-record box, the file keeps 0; once the lock is gone, the stage
    # list's next visit writes the record and shows it.
    if(TOMARUGI_SQLITE3)
      set(script ${puzzle_play_dir}/record-not-saved.script)
      file(WRITE ${script}
        "# Generated from solutions.txt: ${file} in ${turns} turns, the save file locked.\n"
        "${enter}make-file ready\nwait-file locked\nclear-draws\n${play}${puzzle_clear_lines}"
        "expect-drawn dialogue.png 0 256\nexpect-drawn puzzle_solver.png 0 320\nexpect-not-drawn dialogue.png 0 64\n"
        "expect-save record ${kind} ${file} 0\nmake-file cleared\nwait-file released\n"
        "idle\nwait 30\npress cancel\nidle\nexpect-scene 2\npress confirm\nidle\nexpect-scene 3\nwait 30\n"
        "frames 1\nexpect-number 96 ${turns}\nexpect-save record ${kind} ${file} ${turns}\n")
      add_test(NAME harness_record_not_saved
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/record-not-saved.sh $<TARGET_FILE:tomarugi-harness> ${script}
                ${TOMARUGI_GAME_DIR} ${TOMARUGI_SQLITE3})
      set_tests_properties(harness_record_not_saved PROPERTIES LABELS "harness;puzzlescene;save" TIMEOUT 180)
    endif()
  endif()
endforeach()
