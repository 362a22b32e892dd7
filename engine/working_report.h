#pragma once

#include <string>

#include "engine/number_text.h"
#include "engine/sd_deriver.h"

namespace kelmory {

// Composes the result box text and the working box text of one Result.
class WorkingReport {
 public:
  explicit WorkingReport(NumberLocale locale = {});
  std::string result_text(const DerivationFigures& figures) const;
  std::string working_text(const DerivationFigures& figures) const;
  // The confidence-error working text in the same style for a Student's t
  // divisor: figures.z holds the t value, df its degrees of freedom.
  std::string t_working_text(const DerivationFigures& figures, double df) const;

 private:
  NumberLocale locale_;
};

}  // namespace kelmory
