// One audio file of the host's file list, as the user would see it in an
// editor window: its audio, its edit cursor and its selection. The audio
// may live on disk and is read a block at a time.
#pragma once

#include <string>

#include <memory>

#include "host/audio/AudioStore.h"
#include "vst/VstAbi.h"

namespace host {

struct HostFile {
  std::string title;         // what VstAudioFile::name shows
  VstInt32 uniqueId = 0;     // never 0: the plug-in reads 0 as "no file yet"
  std::unique_ptr<AudioStore> audio;  // never null
  double editCursor = 0.0;   // frame index; -1 for none
  double selectionStart = -1.0;  // -1 for no selection
  double selectionSize = 0.0;
  VstInt32 selectionChannel = -1;  // -1: all channels
  bool readOnly = false;
  void* plugOwned = nullptr;  // whatever the plug-in attached to the file

  bool hasSelection() const { return selectionStart >= 0.0 && selectionSize > 0.0; }
};

}  // namespace host
