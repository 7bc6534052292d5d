// Progress of the plug-in's processes as lines on a console.
#pragma once

#include <ostream>
#include <string>

#include "host/offline/OfflineHost.h"

namespace host {

// One line per tenth of each process, so a log stays short; a fraction that
// falls back means the next pass has begun.
class ProgressPrinter {
 public:
  explicit ProgressPrinter(std::ostream& err) : err_(err) {}

  void operator()(const ProgressEvent& event) {
    const int tenth = static_cast<int>(event.fraction * 10.0);
    const std::string label = event.processName + (event.text.empty() ? "" : ": " + event.text);
    if (label == label_ && tenth == tenth_) return;
    label_ = label;
    tenth_ = tenth;
    err_ << "pelmora-host: " << label << ' ' << tenth * 10 << "%\n";
  }

 private:
  std::ostream& err_;
  std::string label_;
  int tenth_ = -1;
};

}  // namespace host
