// Must not compile under -Werror=unused-result: an EosResult dropped on the
// floor, failure and all.
#include "core/error.hpp"

nivaltus::EosResult<double> checked_volume(double volume) {
  if (!nivaltus::is_positive_finite(volume))
    return nivaltus::fail_state("volume", nivaltus::phrase::positive_finite);
  return volume;
}

void drop() { checked_volume(-1.0); }
