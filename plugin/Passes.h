// One function per offline operation; runOfflinePass picks by mode.
#pragma once

#include <cstdint>
#include <string>

#include "vst/VstAbi.h"

class OfflineEffect;

bool runReadingPass(OfflineEffect& effect, VstOfflineTask& task);
bool runZoomPass(OfflineEffect& effect, VstOfflineTask& task);
bool runSelectionPass(OfflineEffect& effect, VstOfflineTask& task);
bool runCorrectionPass(OfflineEffect& effect, VstOfflineTask* tasks, VstInt32 count);
bool runHumPass(OfflineEffect& effect, VstOfflineTask& task);
bool runTwoStageHumPass(OfflineEffect& effect, VstOfflineTask& task);
bool runPilotTonePass(OfflineEffect& effect, VstOfflineTask& task);
bool runSpectralPass(OfflineEffect& effect, VstOfflineTask& task);

// Host frame counts are doubles; positions are 32-bit frame indices.
std::int32_t framesToPosition(double frames);
// Offers one sample to the analyser and paints every column it completes.
void feedAnalyser(OfflineEffect& effect, float sample);
// Sets the curve up for the shown range (from, to) of length frames: loads
// the curve file or starts flat, lays it out and draws it.
void setUpCurve(OfflineEffect& effect, std::int32_t length, std::int32_t from, std::int32_t to, bool fromZoom);
// Why the pilot-tone detector cannot work on a file of the given rate.
std::string pilotRateTooLow(double sampleRate);
