// Pelmora.dll and the hum engine's libraries in a folder of their own, and
// the host in another, as hosts and plug-ins are installed: the plug-in
// still finds what ships beside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "host/audio/WavFile.h"
#include "host/commands/Correction.h"
#include "tests/host/TempPath.h"

namespace {

namespace fs = std::filesystem;

fs::path programFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

// Mains hum with its harmonics under a tone, the hum wavering with the speed.
host::AudioData humRecording() {
  constexpr double kRate = 16000.0;
  constexpr double kPi = 3.14159265358979323846;
  host::AudioData audio = host::AudioData::silence(1, static_cast<std::size_t>(4 * kRate), kRate);
  double phase = 0.0;
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    phase += 2.0 * kPi * (1.0 + 0.003 * std::sin(2.0 * kPi * i / kRate)) / kRate;
    audio.channels[0][i] = static_cast<float>(0.3 * std::sin(1000.0 * phase) + 0.05 * std::sin(50.0 * phase) +
                                              0.03 * std::sin(100.0 * phase) + 0.02 * std::sin(150.0 * phase));
  }
  return audio;
}

DWORD run(const fs::path& program, const std::wstring& arguments, const fs::path& folder) {
  std::wstring command = L"\"" + program.wstring() + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process))
    return 0xFFFFFFFF;
  DWORD code = 0xFFFFFFFF;
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(PluginFolder, HumDetectionWithThePlugInApartFromTheHost) {
  const fs::path root = fs::path(tempPath("apart"));
  const fs::path hostFolder = root / "host";
  const fs::path pluginFolder = root / "plug-ins";
  fs::create_directories(hostFolder);
  fs::create_directories(pluginFolder);
  const fs::path bin = programFolder();
  fs::copy_file(bin / "pelmora-host.exe", hostFolder / "pelmora-host.exe");
  for (const char* file : {"Pelmora.dll", "Tarvo_Engine.dll", "Sorvanite.dll"})
    fs::copy_file(bin / file, pluginFolder / file);
  ASSERT_TRUE(host::writeWav((root / "in.wav").string(), humRecording(), host::SampleFormat::Pcm16).ok());

  const DWORD code = run(hostFolder / "pelmora-host.exe",
                         L"correct ..\\in.wav ..\\out.wav --detect hum --plugin ..\\plug-ins\\Pelmora.dll", hostFolder);
  EXPECT_EQ(code, 0u) << "exit codes: " << host::kExitPlugin << " the plug-in did not load (its imports), "
                      << host::kExitRefused << " the hum engine could not be set up";
  EXPECT_TRUE(fs::exists(root / "out.wav"));
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

}  // namespace
