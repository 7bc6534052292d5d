// Copies an engine's name or label into a caller's buffer. The caller fills
// the buffer with non-zero bytes up to its usable length; the copy stops at
// the end of the text or at the first zero byte of the buffer, whichever
// comes first, and a terminator follows the last copied character.
#pragma once

namespace detect {

inline void copyBounded(const char* text, char* buffer) {
  if (!text || !buffer) return;
  int i = 0;
  while (text[i] != '\0' && buffer[i] != '\0') {
    buffer[i] = text[i];
    ++i;
  }
  buffer[i] = '\0';
}

}  // namespace detect
