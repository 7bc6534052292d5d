// UTF-8 in and out of a Windows program: the command line read through the
// wide-character API, and output that shows every script on a console
// (WriteConsoleW) and stays UTF-8 when sent to a file or a pipe.
#pragma once

#include <windows.h>

#include <streambuf>
#include <string>
#include <vector>

namespace host {

// The program's arguments after its name, as UTF-8.
std::vector<std::string> utf8Arguments();

std::string utf8FromWide(const std::wstring& wide);

class ConsoleStreamBuf : public std::streambuf {
 public:
  explicit ConsoleStreamBuf(DWORD which);  // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
  ~ConsoleStreamBuf() override;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool flushOut();

  HANDLE handle_;
  bool console_;
  std::string pending_;
};

}  // namespace host
