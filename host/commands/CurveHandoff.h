// Puts a curve file where a plug-in looks for the curve of a file, for the
// length of one run, and puts back whatever was there before. Pelmora's
// editor takes "<snapshot folder><file title>.pvc" as the curve of a newly
// notified file that has no undo steps yet; this is how a host that has no
// editor window hands it a curve.
#pragma once

#include <optional>
#include <string>

namespace host {

class CurveHandoff {
 public:
  CurveHandoff() = default;
  ~CurveHandoff();
  CurveHandoff(const CurveHandoff&) = delete;
  CurveHandoff& operator=(const CurveHandoff&) = delete;

  // Copies source to destination. False with a message when the source
  // cannot be read or the destination cannot be written.
  bool place(const std::string& source, const std::string& destination, std::string& problem);
  // Writes text to destination, as place does with a file's content.
  bool placeText(const std::string& text, const std::string& destination, std::string& problem);
  // Restores the destination as it was before place.
  void restore();

 private:
  std::string destination_;
  std::optional<std::string> previous_;  // the destination's old content, if it existed
  bool placed_ = false;
};

// The whole file; false when it cannot be read or is beyond any curve's size.
bool readTextFile(const std::string& path, std::string& text);

}  // namespace host
