#include "catalog/ArchiveIniText.h"

#include <climits>

#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "platform/TextCodec.h"

namespace movrano {

namespace {

constexpr std::string_view kPartGuidSection = "PartGuidList";
constexpr std::string_view kPartGuidKey = "PartGuid";
constexpr std::string_view kListEnd = "None";

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// k when the key is "PartGuid<k>" as the list spells its keys (k written
// in decimal without leading zeros), else -1.
int ListNumber(std::string_view key) {
  if (key.size() <= kPartGuidKey.size() || !StartsText(kPartGuidKey, key)) return -1;
  const std::string_view digits = key.substr(kPartGuidKey.size());
  if (digits.size() > 10 || (digits.size() > 1 && digits.front() == '0')) return -1;
  long long k = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    k = k * 10 + (c - '0');
  }
  return k > INT_MAX ? -1 : static_cast<int>(k);
}

}  // namespace

TPartGuidListReader::TPartGuidListReader(std::string origin, int listLimit)
    : origin_(std::move(origin)), listLimit_(listLimit) {}

void TPartGuidListReader::Feed(std::string_view bytes) {
  if (encoding_ != Encoding::Undecided) {
    decode(bytes, false);
    return;
  }
  head_.append(bytes);
  const auto u = [&](size_t i) { return static_cast<unsigned char>(head_[i]); };
  const bool utf16Mark =
      head_.size() >= 2 && ((u(0) == 0xFF && u(1) == 0xFE) || (u(0) == 0xFE && u(1) == 0xFF));
  if (head_.size() >= 3 || utf16Mark) decide(false);
}

void TPartGuidListReader::decide(bool atEnd) {
  const auto u = [&](size_t i) { return static_cast<unsigned char>(head_[i]); };
  size_t mark = 0;
  if (head_.size() >= 2 && u(0) == 0xFF && u(1) == 0xFE) {
    encoding_ = Encoding::Utf16LE;
    mark = 2;
  } else if (head_.size() >= 2 && u(0) == 0xFE && u(1) == 0xFF) {
    encoding_ = Encoding::Utf16BE;
    mark = 2;
  } else if (head_.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) {
    encoding_ = Encoding::Utf8;
    mark = 3;
  } else {
    encoding_ = Encoding::Unmarked;
  }
  const std::string rest = head_.substr(mark);
  head_.clear();
  head_.shrink_to_fit();
  decode(rest, atEnd);
}

void TPartGuidListReader::decode(std::string_view bytes, bool atEnd) {
  switch (encoding_) {
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
      decodeUtf16(bytes, atEnd);
      break;
    case Encoding::Unmarked:
      decodeUnmarked(bytes, atEnd);
      break;
    default:
      scan(bytes);
  }
}

// Lines, blanks, brackets, "=" and the names looked for are ASCII, which
// UTF-8 and Windows-1252 write alike: the bytes are scanned as they are,
// and only the values kept are converted once the whole text is known not
// to be UTF-8.
void TPartGuidListReader::decodeUnmarked(std::string_view bytes, bool atEnd) {
  if (validUtf8_) {
    std::string text = carried_ + std::string(bytes);
    const size_t open = atEnd ? 0 : OpenUtf8Tail(text);
    validUtf8_ = IsValidUtf8(std::string_view(text).substr(0, text.size() - open));
    carried_ = text.substr(text.size() - open);
  }
  scan(bytes);
}

void TPartGuidListReader::decodeUtf16(std::string_view bytes, bool atEnd) {
  const std::string data = carried_ + std::string(bytes);
  const ByteOrder order =
      encoding_ == Encoding::Utf16LE ? ByteOrder::LittleEndian : ByteOrder::BigEndian;
  // An odd byte and a leading surrogate wait for the rest of their
  // character; at the end an odd byte is dropped.
  const size_t kept = atEnd ? 0 : OpenUtf16Tail(data, order);
  carried_ = data.substr(data.size() - kept);
  scan(Utf16BytesToUtf8(std::string_view(data).substr(0, data.size() - kept), order));
}

void TPartGuidListReader::scan(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && section_ != Section::After) {
    if (afterCarriageReturn_) {
      afterCarriageReturn_ = false;
      if (text[pos] == '\n') {
        ++pos;
        continue;
      }
    }
    const size_t lineBreak = text.find_first_of("\r\n", pos);
    std::string_view piece = text.substr(pos, lineBreak - pos);
    if (lineLength_ == 0) {
      while (!piece.empty() && IsBlank(piece.front()))
        piece.remove_prefix(1);
    }
    line_.append(piece.substr(0, std::min(piece.size(), kLineLimit - line_.size())));
    for (size_t i = piece.size(); i > 0; --i) {
      if (!IsBlank(piece[i - 1])) {
        lineEnd_ = lineLength_ + i;
        last_ = piece[i - 1];
        break;
      }
    }
    lineLength_ += piece.size();
    if (lineBreak == std::string_view::npos) break;
    endLine();
    afterCarriageReturn_ = text[lineBreak] == '\r';
    pos = lineBreak + 1;
  }
}

void TPartGuidListReader::endLine() {
  const bool cut = lineEnd_ > line_.size();
  const std::string_view line = std::string_view(line_).substr(0, std::min(lineEnd_, line_.size()));
  if (!line.empty() && line.front() != ';') {
    if (line.front() == '[' && last_ == ']' && (cut || line.size() >= 2)) {
      const bool list = !cut && SameText(Trim(line.substr(1, line.size() - 2)), kPartGuidSection);
      if (section_ == Section::InList) section_ = Section::After;
      if (section_ == Section::Before && list) section_ = Section::InList;
    } else if (section_ == Section::InList) {
      const size_t eq = line.find('=');
      const int k = eq == std::string_view::npos ? -1 : ListNumber(Trim(line.substr(0, eq)));
      // A key past the limit matters only as the sign of too long a list.
      if (k >= 0 && k <= listLimit_ && !values_.contains(k)) {
        std::string value = cut ? std::string() : Trim(line.substr(eq + 1));
        const bool tooLong = cut || value.size() > kValueLimit;
        if (tooLong) value.clear();
        values_.emplace(k, Value{std::move(value), tooLong});
      }
    }
  }
  line_.clear();
  lineLength_ = 0;
  lineEnd_ = 0;
  last_ = 0;
}

std::vector<std::string> TPartGuidListReader::Finish() {
  if (encoding_ == Encoding::Undecided) {
    decide(true);
  } else {
    decode({}, true);
  }
  if (lineLength_ > 0) endLine();
  const bool windows1252 = encoding_ == Encoding::Unmarked && !validUtf8_;
  std::vector<std::string> guids;
  for (int k = 0;; ++k) {
    const auto it = values_.find(k);
    if (it == values_.end()) break;
    const Value& value = it->second;
    if (value.tooLong) {
      throw Exception(Format("%s: PartGuid%d is longer than %d bytes, which no part GUID is",
                             origin_, k, static_cast<int>(kValueLimit)));
    }
    if (value.text == kListEnd) break;
    if (k == listLimit_) {
      throw Exception(Format("%s: the part GUID list is longer than %d, which no item's is",
                             origin_, listLimit_));
    }
    guids.push_back(windows1252 ? Windows1252ToUtf8(value.text) : value.text);
  }
  return guids;
}

std::vector<std::string> PartGuidsOfIniText(std::string_view bytes) {
  TPartGuidListReader reader;
  reader.Feed(bytes);
  return reader.Finish();
}

}  // namespace movrano
