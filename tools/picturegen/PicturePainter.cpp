#include "PicturePainter.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

namespace picturegen {

namespace {

constexpr float kPi = 3.14159265358979f;

// The options of one command, with the command's style merged underneath, and a record
// of which ones were read so that leftovers can be reported as unknown.
//
// Lengths are read in picture pixels of the definition and handed out in canvas pixels,
// `scale` of them per definition pixel (see PicturePainter). Opacities and angles have no
// unit and are read as written.
class Options {
public:
    Options(const DefinitionCommand& command, const std::map<std::string, std::string>* style, float scale)
        : command_(command), scale_(scale)
    {
        if (style) values_ = *style;
        for (const auto& [key, value] : command.options) values_[key] = value;
        for (const auto& [key, value] : command.options) fromCommand_.insert(key);
    }

    bool Has(const std::string& key) const { return values_.count(key) != 0; }

    std::string Text(const std::string& key, const std::string& fallback)
    {
        used_.insert(key);
        auto found = values_.find(key);
        return found == values_.end() ? fallback : found->second;
    }

    // A number option; `fallback` is in canvas pixels already (callers scale literals).
    bool Number(const std::string& key, float fallback, float* value, std::string* error)
    {
        used_.insert(key);
        auto found = values_.find(key);
        if (found == values_.end()) {
            *value = fallback;
            return true;
        }
        if (key == "opacity" || key == "angle") return ParseNumber(found->second, value, key, error);
        return ParseLength(found->second, value, key, error);
    }

    // A length written in definition pixels, in canvas pixels.
    bool ParseLength(const std::string& text, float* value, const std::string& what, std::string* error) const
    {
        if (!ParseNumber(text, value, what, error)) return false;
        *value *= scale_;
        return true;
    }

    bool ParseNumber(const std::string& text, float* value, const std::string& what, std::string* error) const
    {
        size_t used = 0;
        try {
            *value = std::stof(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != text.size() || !std::isfinite(*value)) {
            *error = command_.Where() + ": " + what + " is not a number: " + text;
            return false;
        }
        return true;
    }

    // Options given on the command line that nobody read are typos; style entries are
    // shared by many labels and may hold keys a particular label does not use.
    bool CheckAllUsed(std::string* error) const
    {
        for (const std::string& key : fromCommand_) {
            if (!used_.count(key)) {
                *error = command_.Where() + ": unknown option " + key + " for " + command_.name;
                return false;
            }
        }
        return true;
    }

private:
    const DefinitionCommand& command_;
    float scale_;
    std::map<std::string, std::string> values_;
    std::set<std::string> fromCommand_;
    std::set<std::string> used_;
};

class CommandPainter {
public:
    CommandPainter(const PictureBook& book, TextSetter& text, const PictureDefinition& picture, Canvas& canvas, int scale)
        : book_(book), text_(text), picture_(picture), canvas_(canvas), scale_(static_cast<float>(scale))
    {
    }

    bool Run(const DefinitionCommand& command, std::string* error)
    {
        command_ = &command;
        error_ = error;
        const std::map<std::string, std::string>* style = nullptr;
        if (command.name == "label") {
            if (command.arguments.size() < 5) return Fail("label takes x, y, width, height, a style and a text");
            auto found = book_.styles.find(command.arguments[4]);
            if (found == book_.styles.end()) return Fail("unknown style " + command.arguments[4]);
            style = &found->second;
        }
        Options options(command, style, scale_);
        options_ = &options;
        bool done = false;
        if (command.name == "background") done = Background();
        else if (command.name == "radial") done = Radial();
        else if (command.name == "rect") done = Rect();
        else if (command.name == "circle") done = Circle();
        else if (command.name == "ellipse") done = Ellipse();
        else if (command.name == "polygon") done = Polygon();
        else if (command.name == "line") done = Line();
        else if (command.name == "snowflake") done = Snowflake();
        else if (command.name == "text") done = Text();
        else if (command.name == "label") done = Label();
        else return Fail("unknown command " + command.name);
        return done && options.CheckAllUsed(error);
    }

private:
    // A length the painter itself chooses, given in definition pixels.
    float L(float definitionPixels) const { return definitionPixels * scale_; }
    int WholeL(float definitionPixels) const { return static_cast<int>(std::lround(definitionPixels * scale_)); }

    bool Fail(const std::string& message)
    {
        *error_ = command_->Where() + ": " + message;
        return false;
    }

    bool Arguments(size_t count, std::vector<float>* numbers, const std::string& usage)
    {
        if (command_->arguments.size() < count) return Fail(command_->name + " takes " + usage);
        numbers->resize(count);
        for (size_t i = 0; i < count; ++i)
            if (!options_->ParseLength(command_->arguments[i], &(*numbers)[i], "argument " + std::to_string(i + 1), error_)) return false;
        return true;
    }

    bool NoMoreArguments(size_t count)
    {
        if (command_->arguments.size() > count) return Fail("too many arguments for " + command_->name);
        return true;
    }

    bool ColourOf(const std::string& text, Colour* colour)
    {
        if (!book_.LookUpColour(text, colour)) return Fail("unknown colour " + text);
        return true;
    }

    // "colour", "top..bottom" (vertical over y0..y1) or "none" (null paint).
    bool PaintOf(const std::string& text, float y0, float y1, Paint* paint, bool* none)
    {
        *none = text == "none";
        if (*none) return true;
        const size_t dots = text.find("..");
        if (dots == std::string::npos) {
            Colour colour;
            if (!ColourOf(text, &colour)) return false;
            *paint = Paint::Solid(colour);
            return true;
        }
        Colour top, bottom;
        if (!ColourOf(text.substr(0, dots), &top) || !ColourOf(text.substr(dots + 2), &bottom)) return false;
        *paint = Paint::VerticalGradient(top, bottom, y0, y1);
        return true;
    }

    // Builds a mask by calling `shape` once, or nine times with wrap-around offsets when
    // the picture tiles.
    Mask Build(const std::function<void(Mask&, float, float)>& shape) const
    {
        Mask mask(canvas_.Width(), canvas_.Height());
        if (!picture_.tiling) {
            shape(mask, 0, 0);
            return mask;
        }
        for (int oy = -1; oy <= 1; ++oy)
            for (int ox = -1; ox <= 1; ++ox) shape(mask, static_cast<float>(ox * canvas_.Width()), static_cast<float>(oy * canvas_.Height()));
        return mask;
    }

    // Shadow, then outline, then fill, all from one mask. `prefix` selects a family of
    // options ("" for shapes, "en-" for a label's second line).
    bool DrawStyled(const Mask& mask, float y0, float y1, const std::string& fillKey, const std::string& fallbackFill,
        const std::string& prefix)
    {
        float opacity = 1, outlineWidth = 0, shadowBlur = 0, shadowX = 0, shadowY = 0;
        if (!options_->Number("opacity", 1, &opacity, error_)) return false;
        const std::string outline = options_->Text(prefix + "outline", "");
        if (!options_->Number(prefix + "outline-width", outline.empty() ? 0.0f : L(2), &outlineWidth, error_)) return false;
        const std::string shadow = options_->Text(prefix + "shadow", "");
        if (!options_->Number(prefix + "shadow-blur", L(3), &shadowBlur, error_)) return false;
        if (!options_->Number(prefix + "shadow-x", 0, &shadowX, error_)) return false;
        if (!options_->Number(prefix + "shadow-y", L(2), &shadowY, error_)) return false;
        const Mask outer = outline.empty() ? mask : mask.Dilated(outlineWidth);
        if (!shadow.empty()) {
            Colour colour;
            if (!ColourOf(shadow, &colour)) return false;
            canvas_.Composite(outer.Blurred(static_cast<int>(shadowBlur)), Paint::Solid(colour), opacity,
                static_cast<int>(std::lround(shadowX)), static_cast<int>(std::lround(shadowY)));
        }
        Paint paint;
        bool none = false;
        if (!PaintOf(options_->Text(fillKey, fallbackFill), y0, y1, &paint, &none)) return false;
        if (!outline.empty()) {
            Colour colour;
            if (!ColourOf(outline, &colour)) return false;
            // Under an opaque fill the whole grown shape is painted, so the fill's soft
            // edge blends into the outline; under a see-through fill only the ring, so the
            // outline colour does not show through it.
            Mask ring = outer;
            if (none || !paint.IsOpaque()) ring.Subtract(mask);
            canvas_.Composite(ring, Paint::Solid(colour), opacity);
        }
        if (!none) canvas_.Composite(mask, paint, opacity);
        return true;
    }

    bool Background()
    {
        if (command_->arguments.size() != 1) return Fail("background takes one colour or gradient");
        Paint paint;
        bool none = false;
        if (!PaintOf(command_->arguments[0], 0, static_cast<float>(canvas_.Height()), &paint, &none)) return false;
        Mask all(canvas_.Width(), canvas_.Height());
        all.AddRoundedRectangle(-1, -1, canvas_.Width() + 2.0f, canvas_.Height() + 2.0f, 0);
        if (!none) canvas_.Composite(all, paint);
        return true;
    }

    bool Radial()
    {
        std::vector<float> centre;
        if (!Arguments(2, &centre, "a centre and distance:colour stops")) return false;
        std::vector<std::pair<float, Colour>> stops;
        for (size_t i = 2; i < command_->arguments.size(); ++i) {
            const std::string& stop = command_->arguments[i];
            const size_t colon = stop.find(':');
            if (colon == std::string::npos) return Fail("radial stops are distance:colour, not " + stop);
            float distance = 0;
            Colour colour;
            if (!options_->ParseLength(stop.substr(0, colon), &distance, "stop distance", error_)) return false;
            if (!ColourOf(stop.substr(colon + 1), &colour)) return false;
            if (!stops.empty() && distance < stops.back().first) return Fail("radial stops must be in ascending distance");
            stops.push_back({distance, colour});
        }
        if (stops.empty()) return Fail("radial needs at least one stop");
        Mask all(canvas_.Width(), canvas_.Height());
        all.AddRoundedRectangle(-1, -1, canvas_.Width() + 2.0f, canvas_.Height() + 2.0f, 0);
        canvas_.Composite(all, Paint::Radial(centre[0], centre[1], stops));
        return true;
    }

    bool Rect()
    {
        std::vector<float> n;
        if (!Arguments(4, &n, "x, y, width and height") || !NoMoreArguments(4)) return false;
        float radius = 0;
        if (!options_->Number("radius", 0, &radius, error_)) return false;
        const Mask mask = Build([&](Mask& m, float ox, float oy) { m.AddRoundedRectangle(n[0] + ox, n[1] + oy, n[2], n[3], radius); });
        return DrawStyled(mask, n[1], n[1] + n[3], "fill", "#FFFFFF", "");
    }

    bool Circle()
    {
        std::vector<float> n;
        if (!Arguments(3, &n, "a centre and a radius") || !NoMoreArguments(3)) return false;
        const Mask mask = Build([&](Mask& m, float ox, float oy) {
            m.AddRoundedRectangle(n[0] - n[2] + ox, n[1] - n[2] + oy, 2 * n[2], 2 * n[2], n[2]);
        });
        return DrawStyled(mask, n[1] - n[2], n[1] + n[2], "fill", "#FFFFFF", "");
    }

    bool Ellipse()
    {
        std::vector<float> n;
        if (!Arguments(4, &n, "a centre and two radii") || !NoMoreArguments(4)) return false;
        const Mask mask = Build([&](Mask& m, float ox, float oy) { m.AddEllipse(n[0] + ox, n[1] + oy, n[2], n[3]); });
        return DrawStyled(mask, n[1] - n[3], n[1] + n[3], "fill", "#FFFFFF", "");
    }

    bool Polygon()
    {
        std::vector<Point> corners;
        float top = 1e9f, bottom = -1e9f;
        for (const std::string& corner : command_->arguments) {
            const size_t comma = corner.find(',');
            Point p;
            if (comma == std::string::npos) return Fail("polygon corners are x,y, not " + corner);
            if (!options_->ParseLength(corner.substr(0, comma), &p.x, "corner x", error_) ||
                !options_->ParseLength(corner.substr(comma + 1), &p.y, "corner y", error_))
                return false;
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
            corners.push_back(p);
        }
        if (corners.size() < 3) return Fail("polygon needs at least three corners");
        const Mask mask = Build([&](Mask& m, float ox, float oy) {
            std::vector<Point> moved = corners;
            for (Point& p : moved) {
                p.x += ox;
                p.y += oy;
            }
            m.AddPolygon(moved);
        });
        return DrawStyled(mask, top, bottom, "fill", "#FFFFFF", "");
    }

    bool Line()
    {
        std::vector<float> n;
        if (!Arguments(4, &n, "two end points") || !NoMoreArguments(4)) return false;
        float width = 2;
        if (!options_->Number("width", L(2), &width, error_)) return false;
        const Mask mask = Build([&](Mask& m, float ox, float oy) { m.AddLine({n[0] + ox, n[1] + oy}, {n[2] + ox, n[3] + oy}, width); });
        return DrawStyled(mask, std::min(n[1], n[3]), std::max(n[1], n[3]), "fill", "#FFFFFF", "");
    }

    bool Snowflake()
    {
        std::vector<float> n;
        if (!Arguments(3, &n, "a centre and a radius") || !NoMoreArguments(3)) return false;
        float width = 2, angle = 0;
        if (!options_->Number("width", std::max(L(1), n[2] / 7), &width, error_)) return false;
        if (!options_->Number("angle", 0, &angle, error_)) return false;
        const Mask mask = Build([&](Mask& m, float ox, float oy) {
            const Point centre{n[0] + ox, n[1] + oy};
            for (int arm = 0; arm < 6; ++arm) {
                const float a = (angle + 60.0f * arm - 90.0f) * kPi / 180.0f;
                const Point tip{centre.x + n[2] * std::cos(a), centre.y + n[2] * std::sin(a)};
                m.AddLine(centre, tip, width);
                // Two pairs of side branches, the outer pair shorter, like a real crystal.
                for (float along : {0.5f, 0.75f}) {
                    const Point base{centre.x + along * n[2] * std::cos(a), centre.y + along * n[2] * std::sin(a)};
                    const float length = n[2] * (along < 0.6f ? 0.3f : 0.2f);
                    for (float side : {-1.0f, 1.0f}) {
                        const float b = a + side * kPi / 4;
                        m.AddLine(base, {base.x + length * std::cos(b), base.y + length * std::sin(b)}, width * 0.8f);
                    }
                }
            }
        });
        return DrawStyled(mask, n[1] - n[2], n[1] + n[2], "fill", "#FFFFFF", "");
    }

    bool AnchorOf(const std::string& text, TextAnchor* anchor)
    {
        if (text == "left") *anchor = TextAnchor::Left;
        else if (text == "centre" || text == "center") *anchor = TextAnchor::Centre;
        else if (text == "right") *anchor = TextAnchor::Right;
        else if (text == "ink-centre" || text == "ink-center") *anchor = TextAnchor::InkCentre;
        else return Fail("anchor must be left, centre, right or ink-centre, not " + text);
        return true;
    }

    bool Text()
    {
        std::vector<float> n;
        if (!Arguments(2, &n, "a position and a text")) return false;
        if (command_->arguments.size() != 3) return Fail("text takes x, y and one quoted text");
        float size = 0, maxWidth = 0;
        if (!options_->Number("size", L(24), &size, error_) || !options_->Number("max-width", 0, &maxWidth, error_)) return false;
        TextAnchor anchor = TextAnchor::Left;
        if (!AnchorOf(options_->Text("anchor", "left"), &anchor)) return false;
        Mask mask(canvas_.Width(), canvas_.Height());
        TextLayout layout;
        std::string problem;
        if (!text_.Set(mask, options_->Text("font", "main"), size, command_->arguments[2], n[0], anchor, n[1], maxWidth, &layout, &problem))
            return Fail(problem);
        return DrawStyled(mask, n[1] - layout.size / 2, n[1] + layout.size / 2, "fill", "#FFFFFF", "");
    }

    bool Label()
    {
        std::vector<float> n;
        if (!Arguments(4, &n, "x, y, width, height, a style and a text")) return false;
        if (command_->arguments.size() < 6 || command_->arguments.size() > 7) return Fail("label takes one or two texts after its style");
        const float x = n[0], y = n[1], width = n[2], height = n[3];
        float inset = 0, radius = 0, rimWidth = 0, pad = 0, size = 0, secondSize = 0;
        if (!options_->Number("inset", L(3), &inset, error_) || !options_->Number("radius", height / 2 - inset, &radius, error_) ||
            !options_->Number("rim-width", L(2), &rimWidth, error_) || !options_->Number("pad", L(16), &pad, error_) ||
            !options_->Number("size", height * 0.55f, &size, error_) || !options_->Number("en-size", height * 0.3f, &secondSize, error_))
            return false;

        // The plate, with its rim as an outline and a gloss over its upper part.
        const float plateX = x + inset, plateY = y + inset, plateW = width - 2 * inset, plateH = height - 2 * inset;
        if (options_->Text("plate", "none") != "none") {
            Mask plate(canvas_.Width(), canvas_.Height());
            plate.AddRoundedRectangle(plateX + rimWidth, plateY + rimWidth, plateW - 2 * rimWidth, plateH - 2 * rimWidth,
                std::max(0.0f, radius - rimWidth));
            Mask rimmed = plate.Dilated(rimWidth);
            const std::string shadow = options_->Text("plate-shadow", "");
            if (!shadow.empty()) {
                Colour colour;
                if (!ColourOf(shadow, &colour)) return false;
                // The shadow stays inside the label's own cell, one pixel clear of its
                // edge: the row below in an atlas is another picture, and a label drawn
                // over the screen must not end in a cut-off smudge.
                Mask cell(canvas_.Width(), canvas_.Height());
                cell.AddRoundedRectangle(x + L(1), y - L(1), width - L(2), height - L(2), 0);
                Mask soft = rimmed.Blurred(WholeL(3));
                soft.Intersect(cell);
                canvas_.Composite(soft, Paint::Solid(colour), 1.0f, 0, WholeL(2));
            }
            const std::string rim = options_->Text("rim", "");
            if (!rim.empty()) {
                Colour colour;
                if (!ColourOf(rim, &colour)) return false;
                canvas_.Composite(rimmed, Paint::Solid(colour));
            }
            Paint paint;
            bool none = false;
            if (!PaintOf(options_->Text("plate", "none"), plateY, plateY + plateH, &paint, &none)) return false;
            canvas_.Composite(plate, paint);
            const std::string gloss = options_->Text("gloss", "");
            if (!gloss.empty()) {
                Colour colour;
                if (!ColourOf(gloss, &colour)) return false;
                Mask upper(canvas_.Width(), canvas_.Height());
                upper.AddRoundedRectangle(plateX + rimWidth + L(2), plateY + rimWidth + L(1), plateW - 2 * rimWidth - L(4),
                    (plateH - 2 * rimWidth) * 0.45f, std::max(0.0f, radius - rimWidth - L(2)));
                upper.Intersect(plate);
                Colour clear = colour;
                clear.alpha = 0;
                canvas_.Composite(upper, Paint::VerticalGradient(colour, clear, plateY, plateY + plateH * 0.5f));
            }
        }

        // The texts.
        const std::string layout = options_->Text("layout", "stacked");
        const std::string align = options_->Text("align", "left");
        if (layout != "stacked" && layout != "inline") return Fail("layout must be stacked or inline, not " + layout);
        if (align != "left" && align != "centre" && align != "center") return Fail("align must be left or centre, not " + align);
        const bool centred = align != "left";
        const bool hasSecond = command_->arguments.size() == 7 && !command_->arguments[6].empty();
        const float textLeft = plateX + pad, textRight = plateX + plateW - pad;
        const float available = textRight - textLeft;
        const std::string mainFont = options_->Text("font", "main"), secondFont = options_->Text("en-font", "latin");
        std::string problem;

        float mainX = centred ? (textLeft + textRight) / 2 : textLeft, mainY = y + height / 2, mainMax = available;
        float secondX = mainX, secondY = mainY;
        TextAnchor mainAnchor = centred ? TextAnchor::Centre : TextAnchor::Left, secondAnchor = mainAnchor;
        if (hasSecond && layout == "stacked") {
            mainY = y + height * 0.39f;
            secondY = y + height * 0.72f;
        } else if (hasSecond) {
            // Main text on the left, the second line in small type flush right.
            float secondWidth = 0;
            if (!text_.Measure(secondFont, secondSize, command_->arguments[6], &secondWidth, &problem)) return Fail(problem);
            secondWidth = std::min(secondWidth, available * 0.45f);
            secondX = textRight;
            secondAnchor = TextAnchor::Right;
            mainMax = available - secondWidth - L(8);
            if (centred) mainX = textLeft + mainMax / 2;
            secondY = mainY + L(1);
        }
        Mask mainMask(canvas_.Width(), canvas_.Height());
        TextLayout mainLayout;
        if (!text_.Set(mainMask, mainFont, size, command_->arguments[5], mainX, mainAnchor, mainY, mainMax, &mainLayout, &problem))
            return Fail(problem);
        if (!DrawStyled(mainMask, mainY - mainLayout.size / 2, mainY + mainLayout.size / 2, "colour", "#FFFFFF", "")) return false;
        if (hasSecond) {
            Mask secondMask(canvas_.Width(), canvas_.Height());
            TextLayout secondLayout;
            const float secondMax = layout == "inline" ? available * 0.45f : available;
            if (!text_.Set(secondMask, secondFont, secondSize, command_->arguments[6], secondX, secondAnchor, secondY, secondMax,
                    &secondLayout, &problem))
                return Fail(problem);
            if (!DrawStyled(secondMask, secondY - secondLayout.size / 2, secondY + secondLayout.size / 2, "en-colour", "#FFFFFF", "en-"))
                return false;
        }
        return true;
    }

    const PictureBook& book_;
    TextSetter& text_;
    const PictureDefinition& picture_;
    Canvas& canvas_;
    float scale_;
    const DefinitionCommand* command_ = nullptr;
    Options* options_ = nullptr;
    std::string* error_ = nullptr;
};

}  // namespace

PicturePainter::PicturePainter(const PictureBook& book, TextSetter& text) : book_(book), text_(text) {}

bool PicturePainter::LoadFonts(std::string* error)
{
    for (const auto& [name, files] : book_.fonts) {
        bool loaded = false;
        std::string problem;
        for (const std::string& file : files) {
            if (!std::filesystem::exists(file)) continue;
            if (text_.AddFont(name, file, &problem)) {
                loaded = true;
                break;
            }
        }
        if (!loaded) {
            *error = "font " + name + ": none of its files could be opened (install the Japanese font packages listed in scripts/setup-debian)";
            if (!problem.empty()) *error += ": " + problem;
            return false;
        }
    }
    return true;
}

bool PicturePainter::Paint(const PictureDefinition& picture, Canvas* canvas, std::string* error, int scale)
{
    if (scale < 1 || canvas->Width() != picture.width * scale || canvas->Height() != picture.height * scale) {
        *error = picture.path + ": canvas size differs from the definition";
        return false;
    }
    CommandPainter painter(book_, text_, picture, *canvas, scale);
    for (const DefinitionCommand& command : picture.commands)
        if (!painter.Run(command, error)) return false;
    return true;
}

}  // namespace picturegen
