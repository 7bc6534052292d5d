#include "host/commands/ShapeArguments.h"

#include "host/commands/NumberText.h"

namespace host {

const char* const kShapeUsage =
    "Shaping the curve before it is applied (through \"Import PVC\"; none given, none done):\n"
    "  --smooth HZ      low-pass the speed to HZ (the wow band: 1 to 10 Hz)\n"
    "  --strength S     correct only S (0 to 1) of the speed's deviation\n"
    "  --keep-drift     leave changes slower than 0.05 Hz alone: correct only wow\n"
    "  --keep-pitch     scale the curve to a mean speed of 1: length and average pitch stay\n";

bool takeShapeOption(const std::vector<std::string>& args, std::size_t& i, CurveShape& shape, std::string& problem) {
  const std::string& a = args[i];
  if (a == "--keep-drift") {
    shape.keepDrift = true;
    return true;
  }
  if (a == "--keep-pitch") {
    shape.keepPitch = true;
    return true;
  }
  if (a != "--smooth" && a != "--strength") return false;
  if (i + 1 >= args.size()) {
    problem = a + " needs a value";
    return true;
  }
  const std::string& text = args[++i];
  double value = 0.0;
  const bool number = parseNumber(text, value);
  if (a == "--smooth") {
    if (!number || value < 0.1 || value > 100.0) problem = "--smooth needs a frequency from 0.1 to 100 Hz";
    else shape.smoothHz = value;
  } else {
    if (!number || value < 0.0 || value > 1.0) problem = "--strength needs a share from 0 to 1";
    else shape.strength = value;
  }
  return true;
}

}  // namespace host
