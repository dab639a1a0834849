// Finds and holds the remote-API library.
#pragma once

#include "rapi/rapi_abi.h"

namespace rapi {

// The five entry points of one remote-API library.
struct Provider {
  PFN_CeRapiInitEx initEx = nullptr;
  PFN_CeRapiUninit uninit = nullptr;
  PFN_CeRegOpenKeyEx regOpenKeyEx = nullptr;
  PFN_CeRegQueryValueEx regQueryValueEx = nullptr;
  PFN_CeRegCloseKey regCloseKey = nullptr;

  bool complete() const {
    return initEx && uninit && regOpenKeyEx && regQueryValueEx && regCloseKey;
  }
};

// The provider the calls of Rapi.h go to: the one set for testing if any,
// otherwise the library, loaded on the first call and kept until the process
// ends. Returns nullptr when the library is missing or lacks an entry point;
// a later call tries the load again.
const Provider* CurrentProvider();

// Tests: route the calls to a scripted provider (nullptr restores the library).
void SetProviderForTesting(const Provider* provider);

}  // namespace rapi
