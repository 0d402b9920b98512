#include "session/install_markers.h"

std::string perProcessMarkerName(unsigned long processId) {
  return std::string(kGlobalMarkerName) + "_" + std::to_string(processId);
}
