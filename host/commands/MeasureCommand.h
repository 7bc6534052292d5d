// pelmora-host measure IN.wav [--ref HZ|none] [--report R.html|R.json]...
// Wow and flutter of a file: from a reference tone when there is one, from
// the music's partials otherwise; the figures on out, the reports on disk.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace host {

// args[0] is "measure".
int runMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace host
