// Limits shared by both programs. The record length of the local-parameter
// file is exactly the size of a record at the estimator's limits, so the three
// numbers below belong together.
#pragma once

namespace common {

// Estimator limits.
inline constexpr int kMaxGlobals = 10;
inline constexpr int kMaxLocals = 6;

// Preparer limits.
inline constexpr int kMaxPreparerLocals = 8;
inline constexpr int kMaxParameterColumns = 50;
inline constexpr int kMaxMeasurements = 99;
// The growth law raises heights to powers up to 10 in magnitude: scaled heights
// (and ages) beyond these bounds would overflow a double (1e30^10 = 1e300).
inline constexpr double kLargestScaledValue = 1e30;
inline constexpr double kSmallestScaledHeight = 1e-30;

// Local-parameter record: identifier, locals, work block, packed local factor.
inline constexpr int kRecordReals = kMaxLocals + (kMaxGlobals + 1) * kMaxLocals + kMaxLocals * (kMaxLocals + 1) / 2;
inline constexpr int kRecordLength = 4 + 8 * kRecordReals;

static_assert(kRecordReals == 93);
static_assert(kRecordLength == 748);

// Packed triangles at the limits.
inline constexpr int kMaxGlobalTriangle = kMaxGlobals * (kMaxGlobals + 1) / 2;
inline constexpr int kMaxLocalTriangle = kMaxLocals * (kMaxLocals + 1) / 2;
inline constexpr int kMaxWorkBlock = (kMaxGlobals + 1) * kMaxLocals;

}  // namespace common
