// ModelDefinition.h: builds an .lmd model from the text definitions in content/models/.
//
// One statement per line; '#' starts a comment. Statements (the full grammar, with the
// units, is in docs/MODELS.md):
//   bone NAME [parent NAME] [at X Y Z]            pivot in model space (bind pose)
//   material NAME color R G B [A] [transparent] [unlit] [nofog] [texture FILE]
//   mesh NAME                                     later parts go into this mesh
//   part SHAPE ... [at X Y Z] [rotate RX RY RZ] [scale SX SY SZ] [material NAME]
//        [bone NAME] [segments N] [rings N] [flat] [tint R G B A] [mirror BONE|-]
//   animation INDEX length FRAMES [smooth]
//   key BONE FRAME [move X Y Z] [turn RX RY RZ] [scale SX SY SZ]
//   include FILE                                  the statements of another definition file
// Shapes: box size X Y Z | roundbox size X Y Z radius R | sphere radius R |
//   ellipsoid radii X Y Z [arc DEG] | cylinder radius R height H [top R] |
//   cone radius R height H | capsule radius R height H | torus radius R tube T [arc FROM TO]
// Angles are degrees, turned about X, then Y, then Z. A key's move, turn and scale are
// relative to the bone's bind pose. The model's front faces -Z.
//
// The result is checked with FinishLmdModel, so a definition that builds is a file the
// engine reads.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "LmdModel.h"

namespace Tomarugi::ModelGen {

struct BuildResult {
    std::optional<Lumora::Internal::LmdModel> model;
    std::string error;  // "<source>:<line>: <what is wrong>" when model is empty
};

// Reads the text of an included file by the name the include statement gives; empty
// when it cannot be read.
using IncludeReader = std::function<std::optional<std::string>(const std::string& name)>;

// Builds a model from definition text; `sourceName` prefixes error messages (an error in
// an included file names that file). Without a reader, include statements are refused.
BuildResult BuildModelFromText(std::string_view text, const std::string& sourceName,
                               const IncludeReader& readInclude = {});

}  // namespace Tomarugi::ModelGen
