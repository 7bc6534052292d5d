// curvecompare FOUND.pvc TRUE.pvc --rate HZ [--edge SECONDS] [--tsv]: the
// found curve's error against the true one, as text or as one row of figures.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace curvecompare {

int runCurvecompare(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace curvecompare
