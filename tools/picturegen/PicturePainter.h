// PicturePainter: paints one PictureDefinition onto a Canvas.
//
// Drawing commands, in the order they are painted (later ones go on top). Numbers are
// picture pixels and may be fractional; colours are palette names or "#RRGGBB[AA]".
//
//     background <colour | top..bottom>          fills the whole picture
//     radial <cx> <cy> <distance>:<colour>...    a radial ramp over the whole picture
//     rect <x> <y> <w> <h> [radius=]
//     circle <cx> <cy> <r>
//     ellipse <cx> <cy> <rx> <ry>
//     polygon <x>,<y> <x>,<y> <x>,<y>...
//     line <x1> <y1> <x2> <y2> [width=]
//     snowflake <cx> <cy> <r> [width=] [angle=<degrees>]
//     text <x> <y> "<text>" font= size= [anchor=left|centre|right|ink-centre] [max-width=]
//         (y is the vertical middle of the line)
//     label <x> <y> <w> <h> <style> "<main text>" ["<second line>"] [style overrides]
//
// Every shape and text takes the paint options fill= (a colour, "top..bottom" for a
// vertical gradient over the shape, or "none"), opacity=, outline=, outline-width=,
// shadow=, shadow-blur=, shadow-x=, shadow-y=. A label is a plate (plate=, radius=,
// inset=, rim=, rim-width=, gloss=, plate-shadow=) with its main text (font=, size=, colour=,
// outline=, outline-width=) and an optional smaller second line (en-font=, en-size=,
// en-colour=, en-outline=, en-outline-width=), laid out with layout=stacked|inline,
// align=left|centre and pad= (the text's distance from the plate's left edge).
//
// Unknown commands and options are errors (a typo must not silently drop a decoration).
//
// Every picture is also painted at twice its size for high-resolution windows (see main.cpp
// and HighResolutionPath): the definitions are written once, in 1x pixels.
#pragma once

#include <string>

#include "Raster.h"
#include "PictureBook.h"
#include "TextSetter.h"

namespace picturegen {

class PicturePainter {
public:
    // Loads the book's fonts into `text`; the painter keeps references to both.
    PicturePainter(const PictureBook& book, TextSetter& text);
    bool LoadFonts(std::string* error);
    // Paints at `scale` canvas pixels per definition pixel (canvas: the definition's size
    // times scale): every position, length and text size is multiplied, so a picture at
    // scale 2 is the same drawing with twice the detail, not an enlarged copy.
    bool Paint(const PictureDefinition& picture, Canvas* canvas, std::string* error, int scale = 1);

private:
    const PictureBook& book_;
    TextSetter& text_;
};

}  // namespace picturegen
