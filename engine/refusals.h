#pragma once
// The fixed texts of the engine's outcomes: the refusal messages and the
// small-sample advisory. The windows show them as they stand.

#include <string_view>

namespace kelmory::refusals {

// Mode selection, and Other without a z value.
inline constexpr std::string_view kAllThreeBoxes =
    "You have data in all 3 boxes. Please clear either the Standard Error box or the Confidence "
    "Error box.";
inline constexpr std::string_view kNeitherMode =
    "You must put data in box (b) and one other box to continue. Exiting.";
inline constexpr std::string_view kOtherWithoutZ =
    "You must enter data in the z or t value box if you selected the 'Other' radio box.";

// Input from which no figures can be computed. Each of
// the first four names the first box that fails in the conversion order.
inline constexpr std::string_view kStandardErrorBox =
    "The Standard Error box (a) does not hold a number that can be used.";
inline constexpr std::string_view kTotalNBox =
    "The Total N box (b) does not hold a number that can be used.";
inline constexpr std::string_view kConfidenceErrorBox =
    "The Confidence Error box (c) does not hold a number that can be used.";
inline constexpr std::string_view kZBox =
    "The z or t value box does not hold a number that can be used.";
inline constexpr std::string_view kZNotPositive = "The z or t value must be greater than 0.";
inline constexpr std::string_view kNoConfidenceLevel =
    "Please select 95%, 99% or Other ... to compute from a confidence error.";
inline constexpr std::string_view kTooLarge = "The result is too large to be computed.";

}  // namespace kelmory::refusals

namespace kelmory {

// Confidence-error mode at 95% or 99% with N below 31.
inline constexpr std::string_view kSmallSampleAdvisory =
    "Your sample is less than 31 and we would suggest that you use a more conservative estimate "
    "by using a "
    "t (alpha/2) value corresponding to N-1 degrees of freedom in computing the standard error "
    "(on the way to computing the SD) from a confidence interval. "
    "You can enter this value by selecting the 'Other' option.";

}  // namespace kelmory
