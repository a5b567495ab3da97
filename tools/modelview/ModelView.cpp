// tomarugi-modelview: renders a .lmd model into a PNG contact sheet with a small CPU
// rasteriser, to look at models without the engine's GPU renderer.
//
//   tomarugi-modelview MODEL.lmd OUTPUT.png [--animation N] [--frames K]
//                      [--views front,side,back,game,closeup,top] [--floor FLOOR.lmd]
//                      [--cell WxH] [--zoom Z]
//
// Rows are views, columns are K frames spread from 0 to the animation's length (the bind
// pose alone when the animation has no data). Views: front/side/back frame the model from
// its bounds; game is the puzzle's level camera (eye 300 units towards -Z at height 30),
// closeup the camera of a cleared stage, top the overhead camera; those three are cropped
// around the model so it fills the cell. Lighting is the puzzle's: one light travelling
// along (0, -0.5, 0.7) plus ambient. Back faces are culled as the GPU pass will, so a
// wrongly wound part shows up as a hole. With --floor, a 3 × 3 patch of that model is
// laid out on the cells around the origin (cell (x, y) at (x·20, 0, -y·20)).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "LmdModel.h"
#include "ModelPose.h"

using namespace Lumora::Internal;

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kFieldOfView = 45.0f * kPi / 180.0f;  // the puzzle camera's 8192 engine units

struct V3 {
    float x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Normalise(V3 a) {
    const float l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0f / l) : V3{0, 1, 0};
}
V3 FromLmd(const LmdVector3& v) { return {v.x, v.y, v.z}; }

struct Camera {
    V3 eye, target;
    // Crop: NDC point moved to the cell's centre, and the magnification around it.
    float cropX = 0, cropY = 0, zoom = 1;
};

struct Instance {
    const LmdModel* model;
    V3 offset;
    std::int64_t animation;
    float frame;
};

struct Image {
    int width, height;
    std::vector<float> rgb, depth;
    Image(int w, int h) : width(w), height(h), rgb(std::size_t(w) * h * 3), depth(std::size_t(w) * h, 1e30f) {
        for (int i = 0; i < w * h; ++i) {
            rgb[i * 3] = 0xEE / 255.0f;
            rgb[i * 3 + 1] = 0xF1 / 255.0f;
            rgb[i * 3 + 2] = 0xFF / 255.0f;
        }
    }
};

struct ScreenVertex {
    float x, y, depth;  // pixels, view distance
    float r, g, b, a;   // lit colour
};

struct Triangle {
    ScreenVertex v[3];
    float sortDepth;
};

// World point to the cell's pixels; false when behind the eye.
bool Project(const Camera& camera, const Image& image, V3 p, float& sx, float& sy, float& depth) {
    const V3 forward = Normalise(camera.target - camera.eye);
    const V3 right = Normalise(Cross(V3{0, 1, 0}, forward));  // +X of the screen
    const V3 up = Cross(forward, right);
    const V3 d = p - camera.eye;
    depth = Dot(d, forward);
    if (depth < 0.5f) {
        return false;
    }
    const float aspect = float(image.width) / float(image.height);
    const float f = 1.0f / std::tan(kFieldOfView * 0.5f);
    // Looking along +Z from -Z, the world's +X is on the viewer's left; `right` above is
    // computed so that it matches a right-handed view.
    float nx = -Dot(d, right) * f / (depth * aspect);
    float ny = Dot(d, up) * f / depth;
    nx = (nx - camera.cropX) * camera.zoom;
    ny = (ny - camera.cropY) * camera.zoom;
    sx = (nx * 0.5f + 0.5f) * float(image.width);
    sy = (0.5f - ny * 0.5f) * float(image.height);
    return true;
}

void Rasterise(Image& image, const Triangle& t, bool blend) {
    const ScreenVertex &a = t.v[0], &b = t.v[1], &c = t.v[2];
    const float area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area >= 0.0f) {  // back face (clockwise on screen, y down) or degenerate
        return;
    }
    const int minX = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))));
    const int maxX = std::min(image.width - 1, int(std::ceil(std::max({a.x, b.x, c.x}))));
    const int minY = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))));
    const int maxY = std::min(image.height - 1, int(std::ceil(std::max({a.y, b.y, c.y}))));
    for (int y = minY; y <= maxY; ++y) {
        for (int x = minX; x <= maxX; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float w0 = ((b.x - px) * (c.y - py) - (b.y - py) * (c.x - px)) / area;
            const float w1 = ((c.x - px) * (a.y - py) - (c.y - py) * (a.x - px)) / area;
            const float w2 = 1.0f - w0 - w1;
            if (w0 < 0 || w1 < 0 || w2 < 0) {
                continue;
            }
            const float depth = w0 * a.depth + w1 * b.depth + w2 * c.depth;
            const std::size_t i = std::size_t(y) * image.width + x;
            if (depth >= image.depth[i]) {
                continue;
            }
            const float r = w0 * a.r + w1 * b.r + w2 * c.r;
            const float g = w0 * a.g + w1 * b.g + w2 * c.g;
            const float bl = w0 * a.b + w1 * b.b + w2 * c.b;
            const float alpha = blend ? (w0 * a.a + w1 * b.a + w2 * c.a) : 1.0f;
            if (!blend) {
                image.depth[i] = depth;
            }
            image.rgb[i * 3] = image.rgb[i * 3] * (1 - alpha) + r * alpha;
            image.rgb[i * 3 + 1] = image.rgb[i * 3 + 1] * (1 - alpha) + g * alpha;
            image.rgb[i * 3 + 2] = image.rgb[i * 3 + 2] * (1 - alpha) + bl * alpha;
        }
    }
}

void Render(Image& image, const Camera& camera, const std::vector<Instance>& instances) {
    const V3 toLight = Normalise(V3{0.0f, 0.5f, -0.7f});  // against the light's travel
    std::vector<Triangle> opaque, transparent;
    for (const Instance& instance : instances) {
        const LmdModel& model = *instance.model;
        std::vector<Matrix4> palette(std::max<std::size_t>(model.bones.size(), 1));
        ComputeBonePalette(model, instance.animation, instance.frame, palette);
        for (const LmdMesh& mesh : model.meshes) {
            std::vector<ScreenVertex> screen(mesh.vertices.size());
            std::vector<bool> visible(mesh.vertices.size());
            std::vector<V3> normals(mesh.vertices.size());
            for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
                const LmdVertex& vertex = mesh.vertices[v];
                const Matrix4& bone = model.bones.empty() ? palette[0] : palette[vertex.bone];
                const V3 p = FromLmd(bone.TransformPoint(vertex.position)) + instance.offset;
                normals[v] = Normalise(FromLmd(bone.TransformDirection(vertex.normal)));
                visible[v] = Project(camera, image, p, screen[v].x, screen[v].y, screen[v].depth);
            }
            for (std::size_t j = 0; j < mesh.materials.size(); ++j) {
                const LmdMaterial& material = mesh.materials[j];
                const bool isTransparent = material.flags & kLmdMaterialTransparent;
                const bool unlit = material.flags & kLmdMaterialUnlit;
                const auto& list = mesh.triangles[j];
                for (std::size_t i = 0; i + 2 < list.size(); i += 3) {
                    Triangle t;
                    bool ok = true;
                    float depthSum = 0;
                    for (int k = 0; k < 3; ++k) {
                        const std::uint32_t index = list[i + k];
                        ok = ok && visible[index];
                        ScreenVertex s = screen[index];
                        const LmdVertex& vertex = mesh.vertices[index];
                        const float light = unlit ? 1.0f : 0.35f + 0.8f * std::max(Dot(normals[index], toLight), 0.0f);
                        s.r = std::min(1.0f, material.color[0] * vertex.color[0] / 255.0f * light);
                        s.g = std::min(1.0f, material.color[1] * vertex.color[1] / 255.0f * light);
                        s.b = std::min(1.0f, material.color[2] * vertex.color[2] / 255.0f * light);
                        s.a = material.color[3] * vertex.color[3] / 255.0f;
                        t.v[k] = s;
                        depthSum += s.depth;
                    }
                    if (!ok) {
                        continue;
                    }
                    t.sortDepth = depthSum / 3;
                    (isTransparent ? transparent : opaque).push_back(t);
                }
            }
        }
    }
    for (const Triangle& t : opaque) {
        Rasterise(image, t, false);
    }
    std::sort(transparent.begin(), transparent.end(),
              [](const Triangle& a, const Triangle& b) { return a.sortDepth > b.sortDepth; });
    for (const Triangle& t : transparent) {
        Rasterise(image, t, true);
    }
}

bool ReadModel(const char* path, LmdModel& model) {
    std::ifstream input(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    if (!input && !input.eof()) {
        std::fprintf(stderr, "tomarugi-modelview: cannot read %s\n", path);
        return false;
    }
    LmdParseResult parsed = ParseLmd(bytes);
    if (!parsed.model) {
        std::fprintf(stderr, "tomarugi-modelview: %s: %s\n", path, parsed.message.c_str());
        return false;
    }
    model = std::move(*parsed.model);
    return true;
}

// A camera at `eye` looking at `target`, cropped so that the sphere (centre, radius) fills
// most of the cell.
Camera Cropped(V3 eye, V3 target, V3 centre, float radius, const Image& image) {
    Camera camera{eye, target};
    float sx, sy, depth;
    if (!Project(camera, image, centre, sx, sy, depth)) {
        return camera;
    }
    camera.cropX = sx / float(image.width) * 2.0f - 1.0f;
    camera.cropY = 1.0f - sy / float(image.height) * 2.0f;
    const float projected = radius / (depth * std::tan(kFieldOfView * 0.5f));
    camera.zoom = std::max(1.0f, 0.8f / std::max(projected, 1e-4f));
    return camera;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: tomarugi-modelview MODEL.lmd OUTPUT.png [--animation N] [--frames K] "
                     "[--views LIST] [--floor FLOOR.lmd] [--cell WxH] [--zoom Z]\n");
        return 2;
    }
    LmdModel model;
    if (!ReadModel(argv[1], model)) {
        return 1;
    }
    std::int64_t animation = -1;
    int frameCount = 6;
    std::string views = "front,side,game,closeup";
    int cellWidth = 256, cellHeight = 256;
    LmdModel floor;
    bool withFloor = false;
    float zoom = 1.0f;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--animation") {
            animation = std::atoi(argv[i + 1]);
        } else if (option == "--frames") {
            frameCount = std::clamp(std::atoi(argv[i + 1]), 1, 32);
        } else if (option == "--views") {
            views = argv[i + 1];
        } else if (option == "--floor") {
            if (!ReadModel(argv[i + 1], floor)) {
                return 1;
            }
            withFloor = true;
        } else if (option == "--zoom") {
            zoom = std::clamp(float(std::atof(argv[i + 1])), 0.1f, 10.0f);
        } else if (option == "--cell") {
            if (std::sscanf(argv[i + 1], "%dx%d", &cellWidth, &cellHeight) != 2 || cellWidth < 16 || cellHeight < 16) {
                std::fprintf(stderr, "tomarugi-modelview: bad --cell %s\n", argv[i + 1]);
                return 2;
            }
        } else {
            std::fprintf(stderr, "tomarugi-modelview: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    const float length = model.GetAnimationLength(animation);
    if (length <= 0.0f) {
        frameCount = 1;
    }
    std::vector<std::string> viewNames;
    std::stringstream list(views);
    for (std::string name; std::getline(list, name, ',');) {
        viewNames.push_back(name);
    }

    // Frame the model by its bounds over every pose.
    ModelBounds bounds;
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        const ModelBounds mesh = ComputeAnimatedMeshBounds(model, m);
        if (mesh.empty) {
            continue;
        }
        if (bounds.empty) {
            bounds = mesh;
        }
        bounds.minimum = {std::min(bounds.minimum.x, mesh.minimum.x), std::min(bounds.minimum.y, mesh.minimum.y),
                          std::min(bounds.minimum.z, mesh.minimum.z)};
        bounds.maximum = {std::max(bounds.maximum.x, mesh.maximum.x), std::max(bounds.maximum.y, mesh.maximum.y),
                          std::max(bounds.maximum.z, mesh.maximum.z)};
    }
    const V3 centre = (FromLmd(bounds.minimum) + FromLmd(bounds.maximum)) * 0.5f;
    const float radius = std::max(0.5f * std::sqrt(Dot(FromLmd(bounds.maximum) - FromLmd(bounds.minimum),
                                                       FromLmd(bounds.maximum) - FromLmd(bounds.minimum))),
                                  1.0f);
    const float distance = radius / std::sin(kFieldOfView * 0.5f) * 1.1f / zoom;

    const int sheetWidth = cellWidth * frameCount, sheetHeight = cellHeight * int(viewNames.size());
    std::vector<std::uint8_t> sheet(std::size_t(sheetWidth) * sheetHeight * 3);
    for (std::size_t row = 0; row < viewNames.size(); ++row) {
        for (int column = 0; column < frameCount; ++column) {
            const float frame = frameCount > 1 ? length * float(column) / float(frameCount - 1) : 0.0f;
            Image image(cellWidth, cellHeight);
            const std::string& view = viewNames[row];
            Camera camera;
            if (view == "front") {
                camera = {centre + V3{0.0f, 0.25f * distance, -distance}, centre};
            } else if (view == "back") {
                camera = {centre + V3{0.0f, 0.25f * distance, distance}, centre};
            } else if (view == "side") {
                camera = {centre + V3{distance, 0.1f * distance, 0.0f}, centre};
            } else if (view == "game") {
                camera = Cropped({0, 30, -300}, {0, 30, 0}, centre, withFloor ? 32.0f : radius, image);
            } else if (view == "closeup") {
                camera = Cropped({0, 50, -100}, {0, 10, 0}, centre, withFloor ? 32.0f : radius, image);
            } else if (view == "top") {
                camera = Cropped({0, 400, -10}, {0, 0, 0}, centre, withFloor ? 32.0f : radius, image);
            } else {
                std::fprintf(stderr, "tomarugi-modelview: unknown view %s\n", view.c_str());
                return 2;
            }
            std::vector<Instance> instances;
            if (withFloor) {
                for (int y = -1; y <= 1; ++y) {
                    for (int x = -1; x <= 1; ++x) {
                        instances.push_back({&floor, {x * 20.0f, 0.0f, -y * 20.0f}, -1, 0.0f});
                    }
                }
            }
            instances.push_back({&model, {0, 0, 0}, animation, frame});
            Render(image, camera, instances);
            for (int y = 0; y < cellHeight; ++y) {
                for (int x = 0; x < cellWidth; ++x) {
                    // A thin frame line between cells.
                    const bool edge = x == 0 || y == 0;
                    for (int c = 0; c < 3; ++c) {
                        const float value = edge ? 0.6f : image.rgb[(std::size_t(y) * cellWidth + x) * 3 + c];
                        sheet[((std::size_t(row) * cellHeight + y) * sheetWidth + std::size_t(column) * cellWidth + x) * 3 + c] =
                            static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
                    }
                }
            }
        }
    }
    if (!stbi_write_png(argv[2], sheetWidth, sheetHeight, 3, sheet.data(), sheetWidth * 3)) {
        std::fprintf(stderr, "tomarugi-modelview: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: animation %lld, length %.1f frames, %d frame(s) x %zu view(s)\n", argv[1],
                static_cast<long long>(animation), length, frameCount, viewNames.size());
    return 0;
}
