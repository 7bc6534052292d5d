// Runs the shipped pelmora-host.exe beside a test, with its output in a
// file that is read back and deleted, and a time limit.
#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

struct HostRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string err;
};

// Each run writes its own file: under Wine the last run's may still be held
// open for a moment after it ended.
inline HostRun runHost(const std::string& arguments, const std::string& errBase) {
  static int runs = 0;
  const std::string errFile = errBase + std::to_string(++runs) + ".txt";
  HostRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE err = CreateFileA(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = err;
  startup.hStdOutput = err;
  PROCESS_INFORMATION process{};
  // Arguments are UTF-8, so that names in any script reach the program whole.
  const std::string utf8 = "pelmora-host.exe " + arguments;
  std::wstring command(utf8.size() + 1, L'\0');
  command.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), command.data(),
                          static_cast<int>(command.size()))));
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    if (WaitForSingleObject(process.hProcess, 300000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(err);
  {
    std::ifstream in(errFile);
    std::ostringstream text;
    text << in.rdbuf();
    run.err = text.str();
  }
  DeleteFileA(errFile.c_str());
  return run;
}
