// Natively Sorvanite links Tarvo_Engine directly.
#include "engines/EngineLink.h"

namespace humengine {

const EngineLink& engineLink() {
  static const EngineLink link{&tarvo_createInstance, &tarvo_preprocess};
  return link;
}

}  // namespace humengine
