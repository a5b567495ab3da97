# Whole-game checks of the endless stages. Needs SolverScripts.cmake's solver_follow_hints.
set(endless_dir ${CMAKE_CURRENT_BINARY_DIR}/endless)
file(MAKE_DIRECTORY ${endless_dir})
set(endless_to_screen "idle\npress confirm\nidle\nexpect-scene 2\npress down\npress down\npress confirm\nexpect-scene 7\nidle\n")

# The daily board of a fixed date: the ID is the date's (worked by hand in the unit tests'
# mapping: 2026-12-09 is day 9839, seed 9839 x 7919 + 271828 mod 10^6 = 186869), shown on the
# puzzle screen, with its fewest turns known from the start.
file(WRITE ${endless_dir}/endless-daily.script
  "endless-date 2026-12-09\n${endless_to_screen}"
  "frames 1\nexpect-text 96 2026-12-09\nexpect-text 128 2A-186869\n"
  "endless-choose today\nwait-board\nexpect-scene 4\nexpect-board-id 2A-186869\n"
  "wait 2\nframes 1\nexpect-text 8 ID 2A-186869\nexpect-scene 4\n")

# A hard board cleared by following the hints in its fewest turns (21, the pinned board of
# 3A-000001): the record is stored under its ID, the board is kept, and the kept file shows
# on the extra list.
solver_follow_hints(21 endless_follow)
file(WRITE ${endless_dir}/endless-hard-hints.script
  "${endless_to_screen}endless-id 3A-000001\nwait-board\nexpect-board-id 3A-000001\n"
  "wait 2\nwait-solver\nclear-draws\n${endless_follow}"
  "wait 1\nexpect-drawn dialogue.png 0 192\nexpect-scene 4\npress confirm\nwait 750\n"
  "expect-drawn puzzle_solver.png 0 0\nexpect-save endless-record 3A-000001 21\n"
  "press cancel\nexpect-kept 3A-000001\nframes 1\nexpect-text 40 Kept: 3A-000001.pzd (extra stages)\n"
  "press confirm\nwait 1\nexpect-scene 7\nidle\nframes 1\n"
  "# The recent list's first board: its ID, fewest turns, best and the star.\n"
  "expect-text 192 3A-000001 21/21 *\n"
  "press cancel\nwait 1\nexpect-scene 2\nidle\npress down\npress confirm\nexpect-scene 3\nidle\nwait 30\nframes 1\n"
  "expect-text * 3A-000001\nexpect-scene 3\n")

# A mistyped ID is refused with one line and nothing else happens; so is a dialled ID of a
# version this game does not know.
file(WRITE ${endless_dir}/endless-bad-id.script
  "${endless_to_screen}endless-id 4A-000001\nwait 1\nframes 1\n"
  "expect-text 352 No such tier: an\nexpect-text 384 ID starts with 1,\nexpect-text 416 2 or 3.\nexpect-scene 7\nexpect-stage-kind endless\n"
  "endless-id 2A-12\nwait 1\nframes 1\nexpect-text 352 An ID looks like\nexpect-text 384 2A-048213: tier,\n"
  "press down\npress down\npress down\npress down\npress confirm\nwait 1\n"
  "press right\npress up\npress confirm\nwait 1\nframes 1\n"
  "expect-text 352 This ID comes from\nexpect-text 384 a newer game; this\nexpect-text 416 one knows only\nexpect-text 448 letter A.\nexpect-scene 7\n")

# The in-game menu's last item (after the solution) keeps the board while it is played.
file(WRITE ${endless_dir}/endless-keep-menu.script
  "${endless_to_screen}endless-id 1A-048213\nwait-board\nwait 2\nclear-draws\npress c\nwait 2\n"
  "expect-drawn puzzle_logo_menu_keep.png 0 0\n"
  "press down\npress down\npress down\npress down\npress down\npress down\npress confirm\nwait 2\n"
  "expect-kept 1A-048213\nframes 1\nexpect-text 40 Kept: 1A-048213.pzd (extra stages)\nexpect-scene 4\n")

# An ID typed as it was shared, with a Japanese input method's full-width digits: "1a-04",
# two Backspaces (the caret back on the first digit after the dash), then "０４８２１３"
# and Enter give 1A-048213 over the dial's 2A-000000.
file(WRITE ${endless_dir}/endless-typed-id.script
  "${endless_to_screen}press down\npress down\npress down\npress down\npress confirm\nidle\n"
  "frames 1\nexpect-text 272 Or type the ID\n"
  "type 1a-04<bs><bs>\ntype ０４８２１３<enter>\nwait-board\nexpect-board-id 1A-048213\nexpect-scene 4\n")

foreach(name endless-daily endless-hard-hints endless-bad-id endless-keep-menu endless-typed-id)
  add_test(NAME harness_${name} COMMAND tomarugi-harness ${endless_dir}/${name}.script)
  set_tests_properties(harness_${name} PROPERTIES LABELS "harness;endless" TIMEOUT 180)
endforeach()
