// The built data.lpk, opened through the engine's file manager with the game's password,
// holds every file the game names, with the facts its screens rely on: picture sizes, font
// pages, model animations, decodable sounds and readable stages.
#include "DecoderHost.h"
#include "FileSystem.h"
#include "ImageCodec.h"
#include "LftFont.h"
#include "LmdModel.h"
#include "StageDataReader.h"

#include <Lumora/IFileManager.h>
#include <Lumora/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr const char* kPassword = "hasunohanagasaku";

struct FileBytes {
    bool found = false;
    std::vector<std::uint8_t> bytes;
};

class PackContent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        files_ = Lumora::Internal::CreateFileManager(TOMARUGI_GAME_DIR);
        ASSERT_NE(files_, nullptr);
        opened_ = files_->SetPackFile(0, "data", kPassword);
    }
    static void TearDownTestSuite()
    {
        if (files_ != nullptr) {
            files_->Release();
            files_ = nullptr;
        }
    }
    void SetUp() override { ASSERT_TRUE(opened_) << TOMARUGI_GAME_DIR "/data.lpk does not open with the game's password"; }

    // `name` is UTF-8 here and looked up as the game does, in Shift-JIS.
    static FileBytes Read(const std::string& directory, const std::string& name)
    {
        FileBytes result;
        files_->SetCurrentDirectory(directory.c_str());
        Lumora::IFile* file = files_->OpenFile(Lumora::Utf8ToShiftJis(name).c_str());
        files_->SetCurrentDirectory(nullptr);
        if (file == nullptr) {
            return result;
        }
        result.found = true;
        result.bytes.resize(static_cast<std::size_t>(file->GetSize()));
        const std::int32_t read = file->Read(result.bytes.data(), file->GetSize());
        result.bytes.resize(static_cast<std::size_t>(read > 0 ? read : 0));
        file->Release();
        return result;
    }

    static Lumora::IFileManager* files_;
    static bool opened_;
};

Lumora::IFileManager* PackContent::files_ = nullptr;
bool PackContent::opened_ = false;

// Width and height from a picture's own header: PNG's IHDR (big-endian, after the 8-byte
// signature and the chunk's length and type) or TGA's image header (little-endian at
// 12). False when the bytes are neither.
bool ReadPictureHeader(const std::vector<std::uint8_t>& bytes, int& width, int& height)
{
    static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 24 && std::equal(kPng, kPng + 8, bytes.begin()) &&
        std::string(bytes.begin() + 12, bytes.begin() + 16) == "IHDR") {
        auto be32 = [&](std::size_t at) {
            return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
        };
        width = be32(16);
        height = be32(20);
        return true;
    }
    // True colour or grey, uncompressed or run-length, no colour map.
    const bool tgaType = bytes.size() >= 18 && (bytes[2] == 2 || bytes[2] == 3 || bytes[2] == 10 || bytes[2] == 11);
    if (tgaType && bytes[1] == 0) {
        width = bytes[12] | (bytes[13] << 8);
        height = bytes[14] | (bytes[15] << 8);
        return true;
    }
    return false;
}

struct Picture {
    const char* directory;
    const char* name;
    int width;
    int height;
};

// The pictures with the sizes the screens draw them at (their source rectangles assume these).
const Picture kPictures[] = {
    {"graphic/sprite", "common__soft_circle_640x480.tga", 640, 480},
    {"graphic/sprite", "nowloading_back.png", 640, 480},
    {"graphic/sprite", "background_panel_rimeko.png", 128, 128},
    {"graphic/sprite", "numbers_32_azuki.png", 200, 32},
    {"graphic/sprite", "dialogue.png", 256, 384},
    {"graphic/sprite", "publisherlogo.png", 400, 36},
    {"graphic/sprite", "circle_logo_kobokan.png", 512, 64},
    {"graphic/sprite", "title_menu_stick_tr.png", 256, 320},
    {"graphic/sprite", "title_menu_tip_text_tr.png", 660, 768},
    {"graphic/sprite", "title_menu_make_tr.png", 330, 320},
    {"graphic/sprite", "puzzle_system_panel.png", 640, 100},
    {"graphic/sprite", "puzzle_logo_frog.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_turn.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_title.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_close.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_retry.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_giveup.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_stageview.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_camera.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_keep.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_camera_auto.png", 256, 32},
    {"graphic/sprite", "puzzle_logo_menu_camera_topview.png", 256, 32},
    {"graphic/sprite", "logo_confirmation.png", 256, 32},
    {"graphic/sprite", "logo_yes.png", 256, 32},
    {"graphic/sprite", "logo_no.png", 256, 32},
    {"graphic/sprite", "stage_select_title.png", 256, 64},
    {"graphic/sprite", "stageselect_logo_bestrecord.png", 128, 32},
    {"graphic/sprite", "stageselect_logo_frog.png", 128, 32},
    {"graphic/sprite", "stageselect_logo_width.png", 128, 32},
    {"graphic/sprite", "stageselect_logo_height.png", 128, 32},
    {"graphic/sprite/mapchip", "mapchips.png", 32, 32},
};

TEST_F(PackContent, RefusesAWrongPassword)
{
    Lumora::IFileManager* other = Lumora::Internal::CreateFileManager(TOMARUGI_GAME_DIR);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->SetPackFile(0, "data", "hasunohanagasak"));
    EXPECT_EQ(other->OpenFile("graphic/sprite/logo_yes.png"), nullptr);
    other->Release();
}

TEST_F(PackContent, PicturesHaveTheSizesTheScreensDrawThemAt)
{
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(std::string(picture.directory) + "/" + picture.name);
        const FileBytes file = Read(picture.directory, picture.name);
        ASSERT_TRUE(file.found);
        int width = 0;
        int height = 0;
        ASSERT_TRUE(ReadPictureHeader(file.bytes, width, height)) << "neither a PNG nor a true-colour or grey TGA";
        EXPECT_EQ(width, picture.width);
        EXPECT_EQ(height, picture.height);
        // The whole picture decodes as the renderer decodes it, to the size its header gives.
        std::string error;
        const auto decoded = Lumora::Internal::DecodeImage(file.bytes.data(), file.bytes.size(), error);
        ASSERT_TRUE(decoded.has_value()) << error;
        EXPECT_EQ(decoded->width, width);
        EXPECT_EQ(decoded->height, height);
    }
}

TEST_F(PackContent, FillTexelsOfTheSoftCircleAreOpaque)
{
    // Wipes and plain backgrounds stretch the texels at (320, 0) and (120, 0); a transparent
    // one would leave the screen behind showing through.
    const FileBytes file = Read("graphic/sprite", "common__soft_circle_640x480.tga");
    ASSERT_TRUE(file.found);
    std::string error;
    const auto decoded = Lumora::Internal::DecodeImage(file.bytes.data(), file.bytes.size(), error);
    ASSERT_TRUE(decoded.has_value()) << error;
    ASSERT_EQ(decoded->width, 640);
    for (int x : {120, 320}) {
        EXPECT_EQ(decoded->rgba[static_cast<std::size_t>(x) * 4 + 3], 255) << "texel (" << x << ", 0)";
    }
}

TEST_F(PackContent, FontsAndEveryPageTheyNameAreInTheFontFolder)
{
    for (const char* name : {"Font.lft", "Font_Azuki_32.lft"}) {
        SCOPED_TRACE(name);
        // The game sets the folder with a backslash.
        const FileBytes file = Read("font\\", name);
        ASSERT_TRUE(file.found);
        const Lumora::Internal::LftParseResult parsed = Lumora::Internal::ParseLft(file.bytes);
        ASSERT_TRUE(parsed.font.has_value()) << Lumora::Internal::DescribeLftError(parsed.error);
        const Lumora::Internal::LftFontData& data = parsed.font->Data();
        ASSERT_GT(data.pageCount, 0);
        for (int page = 0; page < data.pageCount; ++page) {
            const std::string pageName = Lumora::Internal::LftPageFileName(name, "tga", page);
            SCOPED_TRACE(pageName);
            const FileBytes pageFile = Read("font", pageName);
            ASSERT_TRUE(pageFile.found);
            int width = 0;
            int height = 0;
            ASSERT_TRUE(ReadPictureHeader(pageFile.bytes, width, height));
            EXPECT_EQ(width, data.pageWidth);
            EXPECT_EQ(height, data.pageHeight);
        }
        // No page beyond the count lies around unused.
        EXPECT_FALSE(Read("font", Lumora::Internal::LftPageFileName(name, "tga", data.pageCount)).found);
    }
}

TEST_F(PackContent, FontsHaveEveryCharacterTheGameWritesWithThem)
{
    // The stage select lists the normal stages' names with the list font; the loading overlay
    // writes its dots, padded with blanks, with the system font. A missing glyph would show
    // the fallback box instead.
    const struct {
        const char* font;
        const char* text; // UTF-8
    } uses[] = {
        {"Font_Azuki_32.lft", "練習問題１練習問題２体験版Easy体験版Normal体験版Hard"},
        {"Font.lft", ". "},
    };
    for (const auto& use : uses) {
        SCOPED_TRACE(use.font);
        const FileBytes file = Read("font", use.font);
        ASSERT_TRUE(file.found);
        const auto parsed = Lumora::Internal::ParseLft(file.bytes);
        ASSERT_TRUE(parsed.font.has_value());
        const std::string text = Lumora::Utf8ToShiftJis(use.text);
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<std::uint8_t>(text[i]);
            Lumora::Internal::SjisCode code = lead;
            std::size_t length = 1;
            if (Lumora::IsShiftJisLeadByte(lead)) {
                code = static_cast<Lumora::Internal::SjisCode>((lead << 8) | static_cast<std::uint8_t>(text[i + 1]));
                length = 2;
            }
            const auto& glyphs = parsed.font->Data().glyphs;
            const bool present = std::any_of(glyphs.begin(), glyphs.end(),
                                             [&](const Lumora::Internal::LftGlyph& glyph) { return glyph.code == code; });
            EXPECT_TRUE(present) << "no glyph for \"" << Lumora::ShiftJisToUtf8(text.substr(i, length)) << "\"";
            i += length;
        }
    }
}

Lumora::Internal::LmdModel ReadModel(const FileBytes& file)
{
    const Lumora::Internal::LmdParseResult parsed = Lumora::Internal::ParseLmd(file.bytes);
    EXPECT_TRUE(parsed.model.has_value()) << parsed.message;
    return parsed.model.value_or(Lumora::Internal::LmdModel{});
}

const Lumora::Internal::LmdAnimation* FindAnimation(const Lumora::Internal::LmdModel& model, std::uint32_t index)
{
    for (const Lumora::Internal::LmdAnimation& animation : model.animations) {
        if (animation.index == index) {
            return &animation;
        }
    }
    return nullptr;
}

TEST_F(PackContent, ModelsReadAndHoldTheAnimationsTheGamePlays)
{
    struct Model {
        const char* directory;
        const char* name;
        std::vector<std::uint32_t> animations; // indices the game sets
    };
    const Model models[] = {
        {"graphic/nuiko", "nuiko.lmd", {0, 1, 2, 3, 4, 5, 6, 7}},
        {"graphic/object", "floorboard_ice.lmd", {}},
        {"graphic/object", "icicle.lmd", {}},
        {"graphic/object", "frog_frozen.lmd", {}},
        {"graphic/object", "frog_frozen_far.lmd", {}},
        {"graphic/object", "frog_leave.lmd", {1}},
    };
    for (const Model& entry : models) {
        SCOPED_TRACE(entry.name);
        const FileBytes file = Read(entry.directory, entry.name);
        ASSERT_TRUE(file.found);
        const Lumora::Internal::LmdModel model = ReadModel(file);
        EXPECT_FALSE(model.meshes.empty());
        for (std::uint32_t index : entry.animations) {
            const Lumora::Internal::LmdAnimation* animation = FindAnimation(model, index);
            ASSERT_NE(animation, nullptr) << "animation " << index;
            EXPECT_GT(animation->length, 0.0f) << "animation " << index;
        }
        // A textured material must find its picture beside the model.
        for (const Lumora::Internal::LmdMesh& mesh : model.meshes) {
            for (const Lumora::Internal::LmdMaterial& material : mesh.materials) {
                if (!material.textureName.empty()) {
                    EXPECT_TRUE(Read(entry.directory, material.textureName).found) << material.textureName;
                }
            }
        }
    }
}

// Decodes the start of a sound through the named decoder plug-in of the game folder.
void ExpectDecodable(const FileBytes& file, const char* decoder, const char* name)
{
    class Source final : public Lumora::IStreamSource {
    public:
        explicit Source(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
        std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes_.size()); }
        std::int32_t Read(void* buffer, std::int32_t count) override
        {
            const std::int32_t left = GetSize() - position_;
            const std::int32_t n = count < left ? (count > 0 ? count : 0) : left;
            std::copy_n(bytes_.begin() + position_, n, static_cast<std::uint8_t*>(buffer));
            position_ += n;
            return n;
        }
        std::int32_t GetPosition() override { return position_; }
        void Seek(std::int32_t position) override { position_ = std::clamp(position, 0, GetSize()); }
        bool IsEnd() override { return position_ >= GetSize(); }
        void Skip(std::int32_t count) override { Seek(position_ + std::max(count, 0)); }

    private:
        const std::vector<std::uint8_t>& bytes_;
        std::int32_t position_ = 0;
    };
    Source source(file.bytes);
    Lumora::Internal::DecoderPointer decoding = Lumora::Internal::CreateDecoder(decoder, name);
    ASSERT_NE(decoding, nullptr) << decoder << ".lmp";
    decoding->SetSource(&source);
    ASSERT_TRUE(decoding->ReadHeader());
    const Lumora::SoundFormat* format = decoding->GetFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->formatTag, 1);
    EXPECT_TRUE(format->channels == 1 || format->channels == 2) << format->channels;
    EXPECT_GE(format->samplesPerSecond, 8000u);
    EXPECT_TRUE(format->bitsPerSample == 8 || format->bitsPerSample == 16) << format->bitsPerSample;
    EXPECT_GT(decoding->GetDataSize(), 0);
    std::vector<std::uint8_t> samples(4096);
    EXPECT_EQ(decoding->Read(samples.data(), static_cast<std::int32_t>(samples.size())), 4096);
}

TEST_F(PackContent, SoundsDecodeThroughThePlugInsTheEngineUses)
{
    Lumora::Internal::SetDecoderDirectory(TOMARUGI_GAME_DIR);
    for (const char* name : {"decision.wav", "cancel.wav", "defrost.wav", "frog_drag.wav"}) {
        SCOPED_TRACE(name);
        const FileBytes file = Read("sound/se", name);
        ASSERT_TRUE(file.found);
        ExpectDecodable(file, "Wave", name);
    }
    for (const char* name : {"bgm_hanagumo.ogg", "bgm_yukimichi.ogg"}) {
        SCOPED_TRACE(name);
        const FileBytes file = Read("sound/bgm", name);
        ASSERT_TRUE(file.found);
        ExpectDecodable(file, "OggVorbis", name);
    }
    Lumora::Internal::SetDecoderDirectory(nullptr);
}

TEST_F(PackContent, TheFiveNormalStagesAreThereUnderTheirShiftJisNames)
{
    for (const char* name : {"練習問題１.pzd", "練習問題２.pzd", "体験版Easy.pzd", "体験版Normal.pzd", "体験版Hard.pzd"}) {
        SCOPED_TRACE(name);
        const FileBytes file = Read("stage/normal", name);
        ASSERT_TRUE(file.found);
        StageDataReader stage;
        stage.ReadFromBytes(file.bytes.data(), file.bytes.size());
        EXPECT_GT(stage.width, 0);
        EXPECT_GT(stage.height, 0);
        // Exactly a header and width x height cells: nothing cut off, nothing left over.
        EXPECT_EQ(stage.ToBytes(), file.bytes);
    }
}

} // namespace
