#pragma once
// The reference isotherm of the thermal model tests, and the shared test
// helpers under the thermal tests' namespace.

#include "core/rt_model.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus::thermal_test {

using namespace test;

// A BM3 isotherm with MgO-like numbers; V = 10.5 is compressed, 11.8 expanded.
inline RtModel bm3_reference() { return *isothermal::BM3::make(11.24, 160.0, 4.0); }

}  // namespace nivaltus::thermal_test
