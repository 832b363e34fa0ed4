// The fuzz targets' check: a broken promise ends the run like a crash, so
// that libFuzzer keeps the input that broke it.
#pragma once

#include <cstdlib>

inline void Check(bool ok) {
  if (!ok) std::abort();
}
