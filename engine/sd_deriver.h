#pragma once

#include <optional>
#include <string>

#include "engine/number_text.h"

namespace kelmory {

enum class ConfidenceChoice { Conf95, Conf99, ConfOther, ConfNone };
enum class DerivationMode { StandardErrorMode, ConfidenceErrorMode };

// The four box texts exactly as typed, never trimmed.
struct DerivationRequest {
  std::string se_text, n_text, ci_text, z_text;
  ConfidenceChoice choice = ConfidenceChoice::Conf95;
};

struct DerivationFigures {
  DerivationMode mode{};
  ConfidenceChoice choice{};
  double n = 0, se = 0, sd = 0, z = 0;
  std::string confidence_label;
};

struct DerivationOutcome {
  enum class Kind { Result, Refusal };
  Kind kind = Kind::Refusal;
  std::string refusal_message;                  // Refusal only
  DerivationFigures figures;                    // Result only
  std::string result_text, working_text;        // Result only; CR LF line breaks
  std::optional<std::string> advisory_message;  // Result only
};

class SdDeriver {
 public:
  explicit SdDeriver(NumberLocale locale = {});
  DerivationOutcome derive(const DerivationRequest& request) const;

 private:
  NumberLocale locale_;
};

}  // namespace kelmory
