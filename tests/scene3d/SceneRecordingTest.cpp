// The 3D scene as the headless record sees it: placement, poses, overrides, the order of
// transparent actors, culling, the camera and where the pass sits among 2D draws.
#include "SceneTestSupport.h"

#include <cmath>

using Lumora::Math::Rect;
using Lumora::Math::Vector3D;
using Lumora::Math::Vector4D;
using Lumora::Testing::RecordedActor;
using Lumora::Testing::RecordedDraw;
using Lumora::Testing::RecordedScene;

namespace {

Vector3D Apply(const RecordedActor& actor, const Vector3D& p)
{
    const float* m = actor.transform;
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

void ExpectNear(const Vector3D& actual, const Vector3D& expected, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-4f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-4f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-4f) << what;
}

class SceneRecording : public SceneTest::SceneEngine {
protected:
    void SetUp() override { Boot(false); }

    Lumora::IActor* NewActor(Lumora::IModel* model)
    {
        Lumora::IActor* actor = scene->CreateActor(model);
        actors.push_back(actor);
        return actor;
    }

    // One frame: BeginFrame, Begin, `place`, End, Render, EndFrame; the one recorded scene.
    template <class Place>
    RecordedScene Frame(Place place)
    {
        render->BeginFrame();
        scene->Reset();
        scene->SetBackgroundColor(0xFFEEF1FF, 1);
        scene->Begin(0);
        place();
        scene->End();
        scene->Render(0);
        render->EndFrame();
        const auto scenes = Lumora::Testing::GetLastScenes();
        EXPECT_EQ(scenes.size(), 1u);
        return scenes.empty() ? RecordedScene{} : scenes[0];
    }
};

TEST_F(SceneRecording, RotationsTurnTheFrontRightHandedAboutUpThenTranslate)
{
    Lumora::IModel* model = PutModel("square.lmd", {});
    ASSERT_NE(model, nullptr);
    MakeScene(16, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* actor = NewActor(model);
    const std::int32_t angles[4] = {0, 16384, 32768, 49152};
    const Vector3D fronts[4] = {{0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}};
    const RecordedScene recorded = Frame([&] {
        for (std::int32_t angle : angles) {
            Place(actor, 40.0f, 0.0f, -20.0f, angle);
        }
    });
    ASSERT_EQ(recorded.actors.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const RecordedActor& placed = recorded.actors[static_cast<std::size_t>(i)];
        EXPECT_EQ(placed.model, "square.lmd");
        // Quarter turns are exact, not merely close.
        const Vector3D front = Apply(placed, {0, 0, -1});
        EXPECT_EQ(front.x - 40.0f, fronts[i].x) << "angle " << angles[i];
        EXPECT_EQ(front.z + 20.0f, fronts[i].z) << "angle " << angles[i];
        ExpectNear(Apply(placed, {0, 0, 0}), {40, 0, -20}, "origin lands on the translation");
    }
}

TEST_F(SceneRecording, TransformCallsComposeInCallOrderAndOnlyUpdateTransformPublishes)
{
    Lumora::IModel* model = PutModel("square.lmd", {});
    MakeScene(16, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* actor = NewActor(model);
    const RecordedScene recorded = Frame([&] {
        // Translate then turn a quarter: the offset turns with the model.
        actor->ResetTransform();
        actor->Translate(0, 0, -10);
        actor->RotateY(16384);
        actor->UpdateTransform();
        actor->Render();
        // Changes after UpdateTransform are not queued until the next UpdateTransform.
        actor->ResetTransform();
        actor->Translate(5, 5, 5);
        actor->Render();
        // An angle beyond a turn and a negative one wrap.
        actor->ResetTransform();
        actor->RotateY(65536 + 16384);
        actor->RotateY(-32768);
        actor->UpdateTransform();
        actor->Render();
    });
    ASSERT_EQ(recorded.actors.size(), 3u);
    ExpectNear(Apply(recorded.actors[0], {0, 0, 0}), {-10, 0, 0}, "turned offset");
    ExpectNear(Apply(recorded.actors[1], {0, 0, 0}), {-10, 0, 0}, "unpublished change");
    ExpectNear(Apply(recorded.actors[2], {0, 0, -1}), {1, 0, 0}, "wrapped angle is -16384");
}

TEST_F(SceneRecording, AnimationsAreRecordedPerQueuedDrawAndLengthsComeFromTheModel)
{
    SceneTest::QuadSpec spec;
    spec.animated = true;
    Lumora::IModel* model = PutModel("walker.lmd", spec);
    ASSERT_NE(model, nullptr);
    MakeScene(16, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* actor = NewActor(model);
    EXPECT_FLOAT_EQ(actor->GetAnimationLength(3), 40.0f);
    EXPECT_FLOAT_EQ(actor->GetAnimationLength(0), 0.0f);
    EXPECT_FLOAT_EQ(actor->GetAnimationLength(-1), 0.0f);
    const RecordedScene recorded = Frame([&] {
        actor->SetAnimation(3, 12.5f);
        Place(actor, 0, 0, 0);
        actor->SetAnimation(7, 41.0f);
        Place(actor, 20, 0, 0);
    });
    ASSERT_EQ(recorded.actors.size(), 2u);
    EXPECT_EQ(recorded.actors[0].animation, 3);
    EXPECT_FLOAT_EQ(recorded.actors[0].frame, 12.5f);
    EXPECT_EQ(recorded.actors[1].animation, 7);
    EXPECT_FLOAT_EQ(recorded.actors[1].frame, 41.0f);
}

TEST_F(SceneRecording, MaterialOverridesBelongToOneActorAndOutOfRangeIndicesAreIgnored)
{
    SceneTest::QuadSpec spec;
    spec.materials = 2;
    Lumora::IModel* model = PutModel("icicle.lmd", spec);
    MakeScene(16, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* first = NewActor(model);
    Lumora::IActor* second = NewActor(model);
    EXPECT_EQ(first->GetMeshCount(), 1);
    EXPECT_EQ(first->GetMaterialCount(0), 2);
    EXPECT_EQ(first->GetMaterialCount(1), 0);
    EXPECT_EQ(first->GetMaterialCount(-1), 0);
    first->SetMaterialTransparent(0, 1, 1);
    first->SetMaterialColor(0, 1, Vector4D(1, 1, 1, 0.6f));
    first->SetMaterialTransparent(1, 0, 1);  // no mesh 1
    first->SetMaterialColor(0, 2, Vector4D(0, 0, 0, 0)); // no material 2
    const RecordedScene recorded = Frame([&] {
        Place(first, 0, 0, 0);
        Place(second, 20, 0, 0);
        // Set after queueing: still counts for this frame.
        second->SetMaterialTransparent(0, 0, 0);
    });
    ASSERT_EQ(recorded.actors.size(), 2u);
    ASSERT_EQ(recorded.actors[0].materials.size(), 1u);
    const auto& override = recorded.actors[0].materials[0];
    EXPECT_EQ(override.mesh, 0);
    EXPECT_EQ(override.material, 1);
    EXPECT_EQ(override.transparent, 1);
    EXPECT_TRUE(override.colorSet);
    EXPECT_EQ(override.color, Vector4D(1, 1, 1, 0.6f));
    EXPECT_TRUE(recorded.actors[0].transparent);
    ASSERT_EQ(recorded.actors[1].materials.size(), 1u);
    EXPECT_EQ(recorded.actors[1].materials[0].transparent, 0);
    EXPECT_FALSE(recorded.actors[1].materials[0].colorSet);
    EXPECT_FALSE(recorded.actors[1].transparent);

    // Switching transparency off makes the first solid again although its colour stays.
    first->SetMaterialTransparent(0, 1, 0);
    const RecordedScene next = Frame([&] { Place(first, 0, 0, 0); });
    ASSERT_EQ(next.actors.size(), 1u);
    EXPECT_FALSE(next.actors[0].transparent);
    EXPECT_TRUE(next.transparentOrder.empty());
}

TEST_F(SceneRecording, TransparentActorsAreDrawnFarthestFirstWhateverTheQueueOrder)
{
    SceneTest::QuadSpec glass;
    glass.transparent = true;
    Lumora::IModel* model = PutModel("glass.lmd", glass);
    Lumora::IModel* solid = PutModel("solid.lmd", {});
    // The game's Auto camera: level, looking along -Z from 300 units away.
    MakeScene(16, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* near = NewActor(model);
    Lumora::IActor* far = NewActor(model);
    Lumora::IActor* middle = NewActor(model);
    Lumora::IActor* floor = NewActor(solid);
    const RecordedScene recorded = Frame([&] {
        Place(near, 0, 0, 200);
        Place(floor, 0, 0, 0);
        Place(far, 0, 0, -200);
        Place(middle, 0, 0, 0);
    });
    ASSERT_EQ(recorded.actors.size(), 4u);
    EXPECT_FALSE(recorded.actors[1].transparent);
    EXPECT_EQ(recorded.transparentOrder, (std::vector<std::int32_t>{2, 3, 0}));

    // Draw mode 0 keeps the queue order.
    scene->SetDrawMode(0);
    const RecordedScene unsorted = Frame([&] {
        Place(near, 0, 0, 200);
        Place(far, 0, 0, -200);
    });
    EXPECT_EQ(unsorted.transparentOrder, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(SceneRecording, ActorsOutsideTheViewVolumeAreCulledAndEdgeOnesKept)
{
    Lumora::IModel* model = PutModel("tile.lmd", {});
    MakeScene(16, {0, 30, 300}, {0, 30, 0}, 700.0f);
    Lumora::IActor* actor = NewActor(model);
    struct Case {
        Vector3D at;
        bool culled;
        const char* what;
    } cases[] = {
        {{0, 0, 0}, false, "straight ahead"},
        {{0, 0, 400}, true, "behind the eye"},
        {{0, 0, -500}, true, "beyond the far plane"},
        {{0, 0, -380}, false, "straddling the far plane"},
        {{400, 0, 0}, true, "far off to the right"},
        {{-400, 0, 0}, true, "far off to the left"},
        {{0, 400, 0}, true, "high above"},
        // The view's half-width at 300 units is 300 * tan(22.5) * 4/3 = 165.7; the tile's
        // sphere (radius 14.1) still reaches in from 175 units to the side.
        {{175, 0, 0}, false, "partly inside on the right"},
    };
    const RecordedScene recorded = Frame([&] {
        for (const Case& c : cases) {
            Place(actor, c.at.x, c.at.y, c.at.z);
        }
    });
    ASSERT_EQ(recorded.actors.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(recorded.actors[i].culled, cases[i].culled) << cases[i].what;
    }
}

TEST_F(SceneRecording, CameraAndBackgroundAreTakenAsTheyStandAtRender)
{
    Lumora::IModel* model = PutModel("tile.lmd", {});
    MakeScene(16, {50, 400, -50}, {50, 0, -40});
    Lumora::IActor* actor = NewActor(model);
    const RecordedScene recorded = Frame([&] {
        Place(actor, 0, 0, 0);
    });
    EXPECT_EQ(recorded.eye, Vector3D(50, 400, -50));
    EXPECT_EQ(recorded.target, Vector3D(50, 0, -40));
    EXPECT_FLOAT_EQ(recorded.nearPlane, 1.0f);
    EXPECT_FLOAT_EQ(recorded.farPlane, 700.0f);
    EXPECT_EQ(recorded.fieldOfView, 8192);
    EXPECT_FLOAT_EQ(recorded.aspect, 640.0f / 480.0f);
    EXPECT_EQ(recorded.backgroundArgb, 0xFFEEF1FFu);

    // A SetLookAt without Update does not move the camera.
    camera->Reset();
    camera->SetLookAt({1, 2, 3}, {4, 5, 6}, 0);
    const RecordedScene stale = Frame([&] { Place(actor, 0, 0, 0); });
    EXPECT_EQ(stale.eye, Vector3D(50, 400, -50));
}

TEST_F(SceneRecording, TheScenePassSitsBetweenTheTwoDDrawsAroundIt)
{
    Lumora::IModel* model = PutModel("tile.lmd", {});
    files->Put("fill.png", RenderTest::Png(1, 1, {255, 255, 255, 255}));
    Lumora::ITexture* fill = render->CreateTextureFromFile("fill.png");
    ASSERT_NE(fill, nullptr);
    MakeScene(16, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* actor = NewActor(model);
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFFFFFF, Rect(0, 0, 1, 1), fill, 0, {});
    scene->Begin(0);
    Place(actor, 0, 0, 0);
    scene->End();
    scene->Render(0);
    render->DrawTexture(Rect(0, 380, 640, 100), 0xFF000000, Rect(0, 0, 1, 1), fill, 0, {});
    render->EndFrame();
    const auto draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].kind, RecordedDraw::Kind::Texture);
    EXPECT_EQ(draws[1].kind, RecordedDraw::Kind::Scene);
    EXPECT_EQ(draws[1].scene, 0);
    EXPECT_EQ(draws[2].kind, RecordedDraw::Kind::Texture);
    EXPECT_EQ(draws[2].argb, 0xFF000000u);

    // The next frame without a scene Render has no scene.
    render->BeginFrame();
    render->EndFrame();
    EXPECT_TRUE(Lumora::Testing::GetLastScenes().empty());
    fill->Release();
}

TEST_F(SceneRecording, AQueueBeyondCapacityDropsTheRestAndAReleasedActorIsNotDrawn)
{
    Lumora::IModel* model = PutModel("tile.lmd", {});
    MakeScene(3, {0, 30, 300}, {0, 30, 0});
    Lumora::IActor* actor = NewActor(model);
    Lumora::IActor* shortLived = scene->CreateActor(model);
    testing::internal::CaptureStderr();
    const RecordedScene full = Frame([&] {
        for (int i = 0; i < 5; ++i) {
            Place(actor, static_cast<float>(i * 20), 0, 0);
        }
    });
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(full.actors.size(), 3u);
    ExpectNear(Apply(full.actors[2], {0, 0, 0}), {40, 0, 0}, "the third queued one is kept");
    EXPECT_NE(said.find("full"), std::string::npos);

    // Queued, then released before the frame is drawn: recorded as a blank, never drawn.
    render->BeginFrame();
    scene->Begin(0);
    Place(shortLived, 0, 0, 0);
    Place(actor, 20, 0, 0);
    scene->Render(0);
    shortLived->Release();
    render->EndFrame();
    const auto scenes = Lumora::Testing::GetLastScenes();
    ASSERT_EQ(scenes.size(), 1u);
    ASSERT_EQ(scenes[0].actors.size(), 2u);
    EXPECT_TRUE(scenes[0].actors[0].model.empty());
    EXPECT_TRUE(scenes[0].actors[0].culled);
    EXPECT_EQ(scenes[0].actors[1].model, "tile.lmd");
}

TEST_F(SceneRecording, MissingOrMalformedModelFilesGiveNullAndOneLine)
{
    files->Put("broken.lmd", {'L', 'M', 'D', 'L', 1, 0});
    std::vector<std::uint8_t> bytes = SceneTest::SquareModel({});
    bytes[bytes.size() / 2] ^= 0xFF; // damage inside the records
    bytes.resize(bytes.size() - 3);
    files->Put("cut.lmd", bytes);
    for (const char* name : {"absent.lmd", "broken.lmd", "cut.lmd"}) {
        testing::internal::CaptureStderr();
        Lumora::IModel* model = render->CreateModelFromFile(name);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(model, nullptr) << name;
        EXPECT_NE(said.find(name), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    MakeScene(4, {0, 30, 300}, {0, 30, 0});
    EXPECT_EQ(scene->CreateActor(nullptr), nullptr);
}

} // namespace
