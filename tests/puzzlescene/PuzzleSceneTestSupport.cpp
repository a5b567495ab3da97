#include "PuzzleSceneTestSupport.h"

#include "CommonSounds.h"
#include "CurrentStage.h"
#include "PackWriter.h"
#include "ResourceManager.h"

#include <Lumora/Text.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace PuzzleSceneTest {

namespace {

namespace fs = std::filesystem;

void PutInt32(std::vector<std::uint8_t>& bytes, std::int32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift));
    }
}

std::vector<std::string> WideStageRows()
{
    std::vector<std::string> rows(60, std::string(60, '.'));
    rows[30][30] = '@';
    rows[20][25] = '_';
    rows[22][26] = '2';
    // A row of icicles and one of frogs right across the board, so that some stand at the
    // view's edges whatever the camera; none in the player's row or column.
    for (std::size_t column = 0; column < 60; ++column) {
        if (column != 30) {
            rows[24][column] = 'I';
            rows[36][column] = 'F';
        }
    }
    return rows;
}

// The small stages the tests play, by file name.
struct TestStage {
    const char* name;
    std::vector<std::string> rows;
};

const std::vector<TestStage>& TestStages()
{
    static const std::vector<TestStage> stages = {
        // Tile 3 starts the second row.
        {"rows.pzd", {"@.F", "..."}},
        // The player on row 2; icicles on rows 1, 2 and 3 of column 0; a floor code 2 cell.
        {"icicles.pzd", {"..F", "I.2", "I@.", "I.."}},
        // A frog in front of the player, room to push it three cells to the right.
        {"push.pzd", {"@F...", "_____"}},
        // One frog beside the player: thawing it clears the stage.
        {"thaw.pzd", {"@F"}},
        // A long slide to the right, stopped by the frog.
        {"slide.pzd", {"@....F"}},
        // 60 x 60 of ice, larger than the view in every camera mode: the player in the
        // middle, a hole, a floor code 2 cell, rows of icicles and frogs.
        {"wide.pzd", WideStageRows()},
    };
    return stages;
}

} // namespace

std::vector<std::uint8_t> StageBytes(const std::vector<std::string>& rows)
{
    std::vector<std::uint8_t> bytes;
    const std::size_t width = rows.empty() ? 0 : rows[0].size();
    PutInt32(bytes, 0);
    bytes.push_back(static_cast<std::uint8_t>(width));
    bytes.push_back(static_cast<std::uint8_t>(rows.size()));
    bytes.push_back(0);
    bytes.push_back(0);
    for (const std::string& row : rows) {
        for (char cell : row) {
            const std::int32_t floor = cell == '_' ? 0 : cell == '2' ? 2 : 1;
            const std::int32_t object = cell == '@' ? 1 : cell == 'F' ? 2 : cell == 'I' ? 3 : 0;
            PutInt32(bytes, floor);
            PutInt32(bytes, object);
        }
    }
    return bytes;
}

void PuzzleSceneFixture::SetUpTestSuite()
{
    // Every test runs as a process of its own: the pack is written again only when the
    // program or a picture or model is newer than it.
    const fs::path program = fs::read_symlink("/proc/self/exe");
    const fs::path packPath = program.parent_path() / "data.lpk";
    const fs::path content(PUZZLE_PACK_CONTENT);
    std::error_code error;
    const fs::file_time_type packTime = fs::last_write_time(packPath, error);
    bool upToDate = !error && fs::last_write_time(program) < packTime;
    std::vector<fs::path> sources;
    for (const char* folder : {"graphic"}) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(content / folder)) {
            if (entry.is_regular_file()) {
                sources.push_back(entry.path());
                upToDate = upToDate && entry.last_write_time() < packTime;
            }
        }
    }
    if (upToDate) {
        return;
    }
    std::vector<Tomarugi::Pack::PackInputFile> files;
    for (const fs::path& source : sources) {
        std::ifstream in(source, std::ios::binary);
        Tomarugi::Pack::PackInputFile file;
        file.name = fs::relative(source, content).generic_string();
        file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        files.push_back(std::move(file));
    }
    for (const TestStage& stage : TestStages()) {
        files.push_back({std::string("stage/normal/") + stage.name, StageBytes(stage.rows)});
    }
    std::string message;
    ASSERT_TRUE(Tomarugi::Pack::WritePack(packPath, files, "hasunohanagasaku", {}, message)) << message;
}

PuzzleSceneFixture::PuzzleSceneFixture(bool pixels)
{
    Lumora::Testing::EnableHeadless({pixels});
    commonSounds = CommonSounds{};
    application = std::make_unique<Application>();
    ScenePuzzle::playerClock = 0.0f;
}

PuzzleSceneFixture::~PuzzleSceneFixture()
{
    if (scene != nullptr) {
        scene->Release();
        scene = nullptr;
    }
    application.reset();
    Lumora::Testing::DisableHeadless();
}

bool PuzzleSceneFixture::StartPuzzle(const char* name)
{
    if (application->GetStartupFailure() != nullptr) {
        ADD_FAILURE() << "the game did not start: " << application->GetStartupFailure();
        return false;
    }
    currentStageKind = StageKind::Normal;
    currentStageName = name;
    scene = new ScenePuzzle(application.get());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (application->GetResourceManager()->IsBusy() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Step(); // Loading -> Starting
    Step(); // Starting -> Playing
    return scene->GetPhase() == PuzzlePhasePlaying;
}

void PuzzleSceneFixture::Step(std::initializer_list<int> buttons)
{
    std::uint32_t mask = 0;
    for (int button : buttons) {
        mask |= std::uint32_t{1} << button;
    }
    Lumora::Testing::SetHeldButtons(mask);
    Lumora::Testing::AdvanceClock(1'000'000 / 60);
    application->GetInputController()->Refresh();
    scene->Update();
}

void PuzzleSceneFixture::Press(int button)
{
    Step({button});
    Step();
}

Lumora::Testing::RecordedScene PuzzleSceneFixture::Frame()
{
    Lumora::IRender* render = application->GetRender();
    render->BeginFrame();
    scene->Draw();
    render->EndFrame();
    const std::vector<Lumora::Testing::RecordedScene> scenes = Lumora::Testing::GetLastScenes();
    return scenes.empty() ? Lumora::Testing::RecordedScene{} : scenes.front();
}

std::vector<Lumora::Testing::RecordedActor> PuzzleSceneFixture::ActorsOf(const Lumora::Testing::RecordedScene& scene,
                                                                         const std::string& model)
{
    std::vector<Lumora::Testing::RecordedActor> found;
    for (const Lumora::Testing::RecordedActor& actor : scene.actors) {
        if (actor.model.size() >= model.size() &&
            actor.model.compare(actor.model.size() - model.size(), model.size(), model) == 0) {
            found.push_back(actor);
        }
    }
    return found;
}

std::vector<Lumora::Testing::RecordedDraw> PuzzleSceneFixture::DrawsOf(const std::string& texture)
{
    std::vector<Lumora::Testing::RecordedDraw> found;
    for (const Lumora::Testing::RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
        if (draw.texture.size() >= texture.size() &&
            draw.texture.compare(draw.texture.size() - texture.size(), texture.size(), texture) == 0) {
            found.push_back(draw);
        }
    }
    return found;
}

} // namespace PuzzleSceneTest
