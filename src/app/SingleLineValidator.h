#pragma once
// Keeps a single-line field to one line however text gets into it
// (typing, a paste, a drop, a completion, the program's own setting): the
// inserted text ends at its first line break, and what stood after the
// insertion stays. The form model applies the same rule to what it is
// given, so a field and the model always hold the same text.
#include <QValidator>

namespace movrano {

class SingleLineValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};

}  // namespace movrano
