-- tomarugi.save: the best record of every stage played and the player's settings.
--
-- This script builds the save file that ships with the game, and the game runs it again
-- whenever it finds the file without a table or without the settings row. Every statement
-- therefore only adds what is missing and never changes a row that exists.

-- One row per stage, added the first time the stage is looked up. The two columns stay in
-- this order: rows are inserted with a positional VALUES list. `name` is the stage's file
-- name in Shift-JIS bytes; `best_record` is its lowest turn count, 0 while there is none.
CREATE TABLE IF NOT EXISTS result_stage_normal (name TEXT, best_record INTEGER);
CREATE TABLE IF NOT EXISTS result_stage_extra (name TEXT, best_record INTEGER);

-- One row per endless board played, keyed by its ID ("2A-048213", ASCII). `best_record` as
-- above (0 while there is none); `fewest_turns` the board's fewest turns, known when it is
-- made; `last_played` seconds since 1970 (UTC) of the latest start, for the recent list.
CREATE TABLE IF NOT EXISTS result_stage_endless (board_id TEXT, best_record INTEGER, fewest_turns INTEGER, last_played INTEGER);

-- The solver's answers for stage files, so that an unchanged file is never searched again.
-- Only a cache: the game may empty it at any time (it drops and remakes a damaged one).
-- `kind` 0 normal, 1 extra; `name` the file name in Shift-JIS bytes; `file_hash` the file's
-- size and 64-bit FNV-1a hash of its bytes as "size:16 hex digits", so an edited file is
-- never given an old answer; `fewest_turns` the fewest turns that clear it (1 or more), -1
-- when it cannot be cleared, -2 when the search reached the game's budget.
CREATE TABLE IF NOT EXISTS stage_fewest_turns (kind INTEGER, name TEXT, file_hash TEXT, fewest_turns INTEGER);

-- The moves of each stage's best record, so that the player can watch how it was done and
-- `tomarugi-stage records --verify` can prove it. Written in the same transaction as the
-- record, and only when the record was stored, so the two never disagree. `kind` 0 normal,
-- 1 extra, 2 endless; `name` the stage's name in Shift-JIS bytes (an endless board's ID);
-- `file_hash` the stage file's "size:hash" when the record was played (as in
-- stage_fewest_turns), so a replay on an edited file is refused; `turns` the record;
-- `moves` the solution in the notation of content/stages/solutions.txt ("R TR L D").
-- A record stored before this table existed simply has no row here.
CREATE TABLE IF NOT EXISTS stage_best_moves (kind INTEGER, name TEXT, file_hash TEXT, turns INTEGER, moves TEXT);

-- The settings, in the single row whose id is 1. (The row is looked for both as the text '1',
-- which is how the game asks for it, and as the number 1, so that a hand-made table
-- without column types never collects a second row 1.)
--   camera_mode        0 follows the player, 1 looks down on the board
--   camera_zdist       distance behind the player, world units (20 to a cell)
--   camera_height      height of the top view, world units
--   daemon_stage_view  1 shows the stage map all the time, 0 only on request
--   volume_bgm         music volume, 0 (silent) to 10 (full)
--   volume_se          sound-effect volume, 0 to 10
CREATE TABLE IF NOT EXISTS system_config (
    id INTEGER PRIMARY KEY,
    camera_mode INTEGER,
    camera_zdist INTEGER,
    camera_height INTEGER,
    daemon_stage_view INTEGER,
    volume_bgm INTEGER,
    volume_se INTEGER);

INSERT INTO system_config
    (id, camera_mode, camera_zdist, camera_height, daemon_stage_view, volume_bgm, volume_se)
    SELECT 1, 0, 300, 400, 0, 7, 7
    WHERE NOT EXISTS (SELECT 1 FROM system_config WHERE id IN ('1') OR id IN (1));
