// A Windows command line from a list of arguments, quoted so that the
// child's runtime splits it back into the same list.
#pragma once

#include <string>
#include <vector>

namespace host {

// Backslashes count only before a quote: there they are doubled, and the
// quote escaped; an argument with blanks or quotes, or an empty one, is
// put in quotes.
inline std::string quotedArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + '"';
}

inline std::string commandLineOf(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += quotedArgument(argument);
  }
  return line;
}

}  // namespace host
