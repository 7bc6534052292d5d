// The VST 2.3 binary interface as published: the records, opcodes and flag
// values the plug-in and the host exchange. Declared here from the published
// facts; offsets are checked for the 32-bit Windows build.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                    VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                      VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index, float parameter);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);

constexpr VstInt32 vstFourCC(char a, char b, char c, char d) {
  return static_cast<VstInt32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                               static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr VstInt32 kEffectMagic = vstFourCC('V', 's', 't', 'P');
constexpr VstInt32 effFlagsHasEditor = 1 << 0;

struct AEffect {
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  char future[60];
};

struct ERect {
  short top;
  short left;
  short bottom;
  short right;
};

struct VstAudioFile {
  VstInt32 flags;
  void* hostOwned;
  void* plugOwned;
  char name[100];
  VstInt32 uniqueId;
  double sampleRate;
  VstInt32 numChannels;
  double numFrames;
  VstInt32 format;
  double editCursorPosition;
  double selectionStart;
  double selectionSize;
  VstInt32 selectedChannelsMask;
  VstInt32 numMarkers;
  VstInt32 timeRulerUnit;
  double timeRulerOffset;
  double tempo;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 ticksPerBlackNote;
  VstInt32 smpteFrameRate;
  char future[64];
};

enum VstAudioFileFlags : VstInt32 {
  kVstOfflineReadOnly = 1 << 0,
  kVstOfflineNoRateConversion = 1 << 1,
  kVstOfflineNoChannelChange = 1 << 2,
  kVstOfflineCanProcessSelection = 1 << 10,
  kVstOfflineNoCrossfade = 1 << 11,
  kVstOfflineWantRead = 1 << 12,
  kVstOfflineWantWrite = 1 << 13,
  kVstOfflineWantWriteMarker = 1 << 14,
  kVstOfflineWantMoveCursor = 1 << 15,
  kVstOfflineWantSelect = 1 << 16,
};

struct VstOfflineTask {
  char processName[96];
  double readPosition;
  double writePosition;
  VstInt32 readCount;
  VstInt32 writeCount;
  VstInt32 sizeInputBuffer;
  VstInt32 sizeOutputBuffer;
  void* inputBuffer;
  void* outputBuffer;
  double positionToProcessFrom;
  double numFramesToProcess;
  double maxFramesToWrite;
  void* extraBuffer;
  VstInt32 value;
  VstInt32 index;
  double numFramesInSourceFile;
  double sourceSampleRate;
  double destinationSampleRate;
  VstInt32 numSourceChannels;
  VstInt32 numDestinationChannels;
  VstInt32 sourceFormat;
  VstInt32 destinationFormat;
  char outputText[512];
  double progress;
  VstInt32 progressMode;
  char progressText[100];
  VstInt32 flags;
  VstInt32 returnValue;
  VstIntPtr hostOwned;
  VstIntPtr plugOwned;
  char future[1024];
};

enum VstOfflineTaskFlags : VstInt32 {
  kVstOfflineUnvalidParameter = 1 << 0,
  kVstOfflineNewFile = 1 << 1,
  kVstOfflinePlugError = 1 << 10,
  kVstOfflineInterleavedAudio = 1 << 11,
  kVstOfflineTempOutputFile = 1 << 12,
  kVstOfflineFloatOutputFile = 1 << 13,
  kVstOfflineRandomWrite = 1 << 14,
  kVstOfflineStretch = 1 << 15,
  kVstOfflineNoThread = 1 << 16,
};

enum VstOfflineOption : VstInt32 {
  kVstOfflineAudio = 0,
  kVstOfflinePeaks = 1,
  kVstOfflineParameter = 2,
  kVstOfflineMarker = 3,
  kVstOfflineCursor = 4,
  kVstOfflineSelection = 5,
  kVstOfflineQueryFiles = 6,
};

// Host opcodes the plug-in calls.
enum AudioMasterOpcode : VstInt32 {
  audioMasterVersion = 1,
  audioMasterOfflineStart = 25,
  audioMasterOfflineRead = 26,
  audioMasterOfflineWrite = 27,
};

// Plug-in opcodes the dispatcher serves.
enum AEffectOpcode : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effGetVu = 9,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effCanBeAutomated = 26,
  effGetNumProgramCategories = 28,
  effConnectInput = 31,
  effConnectOutput = 32,
  effGetPlugCategory = 35,
  effOfflineNotify = 38,
  effOfflinePrepare = 39,
  effOfflineRun = 40,
  effSetBlockSizeAndSampleRate = 43,
  effCanDo = 51,
  effKeysRequired = 57,
  effGetVstVersion = 58,
  effEditKeyDown = 59,
  effEditKeyUp = 60,
  effSetEditKnobMode = 61,
  effGetCurrentMidiProgram = 63,
  effGetSpeakerArrangement = 69,
  effSetTotalSampleToProcess = 73,
  effLastKnownOpcode = 76,
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4, "the shipped plug-in is a 32-bit DLL");
static_assert(sizeof(AEffect) == 144);
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12);
static_assert(offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, numParams) == 24);
static_assert(offsetof(AEffect, numInputs) == 28);
static_assert(offsetof(AEffect, numOutputs) == 32);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, resvd2) == 44);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, realQualities) == 52);
static_assert(offsetof(AEffect, offQualities) == 56);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, future) == 84);

static_assert(sizeof(ERect) == 8);

static_assert(sizeof(VstAudioFile) == 288);
static_assert(offsetof(VstAudioFile, flags) == 0);
static_assert(offsetof(VstAudioFile, hostOwned) == 4);
static_assert(offsetof(VstAudioFile, plugOwned) == 8);
static_assert(offsetof(VstAudioFile, name) == 12);
static_assert(offsetof(VstAudioFile, uniqueId) == 112);
static_assert(offsetof(VstAudioFile, sampleRate) == 120);
static_assert(offsetof(VstAudioFile, numChannels) == 128);
static_assert(offsetof(VstAudioFile, numFrames) == 136);
static_assert(offsetof(VstAudioFile, format) == 144);
static_assert(offsetof(VstAudioFile, editCursorPosition) == 152);
static_assert(offsetof(VstAudioFile, selectionStart) == 160);
static_assert(offsetof(VstAudioFile, selectionSize) == 168);
static_assert(offsetof(VstAudioFile, selectedChannelsMask) == 176);
static_assert(offsetof(VstAudioFile, numMarkers) == 180);
static_assert(offsetof(VstAudioFile, timeRulerUnit) == 184);
static_assert(offsetof(VstAudioFile, timeRulerOffset) == 192);
static_assert(offsetof(VstAudioFile, tempo) == 200);
static_assert(offsetof(VstAudioFile, timeSigNumerator) == 208);
static_assert(offsetof(VstAudioFile, timeSigDenominator) == 212);
static_assert(offsetof(VstAudioFile, ticksPerBlackNote) == 216);
static_assert(offsetof(VstAudioFile, smpteFrameRate) == 220);
static_assert(offsetof(VstAudioFile, future) == 224);

static_assert(sizeof(VstOfflineTask) == 1880);
static_assert(offsetof(VstOfflineTask, processName) == 0);
static_assert(offsetof(VstOfflineTask, readPosition) == 96);
static_assert(offsetof(VstOfflineTask, writePosition) == 104);
static_assert(offsetof(VstOfflineTask, readCount) == 112);
static_assert(offsetof(VstOfflineTask, writeCount) == 116);
static_assert(offsetof(VstOfflineTask, sizeInputBuffer) == 120);
static_assert(offsetof(VstOfflineTask, sizeOutputBuffer) == 124);
static_assert(offsetof(VstOfflineTask, inputBuffer) == 128);
static_assert(offsetof(VstOfflineTask, outputBuffer) == 132);
static_assert(offsetof(VstOfflineTask, positionToProcessFrom) == 136);
static_assert(offsetof(VstOfflineTask, numFramesToProcess) == 144);
static_assert(offsetof(VstOfflineTask, maxFramesToWrite) == 152);
static_assert(offsetof(VstOfflineTask, extraBuffer) == 160);
static_assert(offsetof(VstOfflineTask, value) == 164);
static_assert(offsetof(VstOfflineTask, index) == 168);
static_assert(offsetof(VstOfflineTask, numFramesInSourceFile) == 176);
static_assert(offsetof(VstOfflineTask, sourceSampleRate) == 184);
static_assert(offsetof(VstOfflineTask, destinationSampleRate) == 192);
static_assert(offsetof(VstOfflineTask, numSourceChannels) == 200);
static_assert(offsetof(VstOfflineTask, numDestinationChannels) == 204);
static_assert(offsetof(VstOfflineTask, sourceFormat) == 208);
static_assert(offsetof(VstOfflineTask, destinationFormat) == 212);
static_assert(offsetof(VstOfflineTask, outputText) == 216);
static_assert(offsetof(VstOfflineTask, progress) == 728);
static_assert(offsetof(VstOfflineTask, progressMode) == 736);
static_assert(offsetof(VstOfflineTask, progressText) == 740);
static_assert(offsetof(VstOfflineTask, flags) == 840);
static_assert(offsetof(VstOfflineTask, returnValue) == 844);
static_assert(offsetof(VstOfflineTask, hostOwned) == 848);
static_assert(offsetof(VstOfflineTask, plugOwned) == 852);
static_assert(offsetof(VstOfflineTask, future) == 856);
#endif
