#include "app/SingleLineValidator.h"

#include <algorithm>

namespace movrano {

namespace {

bool EndsLine(QChar c) {
  return c == u'\r' || c == u'\n' || c == u'\0';
}

}  // namespace

QValidator::State SingleLineValidator::validate(QString& input, int& pos) const {
  const auto first = std::find_if(input.cbegin(), input.cend(), EndsLine);
  if (first == input.cend()) return Acceptable;
  // The field held one line before this change, so every break is in the
  // inserted text, and the cursor stands at that text's end.
  const auto last = std::find_if(input.crbegin(), input.crend(), EndsLine).base();
  const qsizetype head = first - input.cbegin();
  const qsizetype tail = std::max<qsizetype>(pos, last - input.cbegin());
  input = input.left(head) + input.mid(tail);
  pos = static_cast<int>(head);
  return Acceptable;
}

}  // namespace movrano
