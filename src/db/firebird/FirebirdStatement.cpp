#include "db/firebird/FirebirdStatement.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace movrano::db::firebird_detail {

namespace {

unsigned BytesPerChar(unsigned charset) {
  switch (charset) {
    case kCharsetUtf8:
      return 4;
    case kCharsetUnicodeFss:
      return 3;
    default:
      return 1;
  }
}

// A whole-number column with a scale is an exact NUMERIC/DECIMAL.
Variant Scaled(int64_t v, int scale) {
  if (scale == 0) return Variant(v);
  return Variant(Decimal{v, -scale});
}

// A dialect-1 NUMERIC is a double with a scale: its digits are those the
// server prints, the double rounded to the scale.
Variant ScaledDouble(double v, int scale) {
  double factor = 1;
  for (int i = 0; i < -scale; ++i)
    factor *= 10;
  const double unscaled = v * factor;
  if (scale >= 0 || -scale > Decimal::kMaxScale || !(std::fabs(unscaled) < 9e18)) return Variant(v);
  return Variant(Decimal{std::llround(unscaled), -scale});
}

struct ColumnInfo {
  unsigned type;  // without the nullable bit
  int subType;
  unsigned length;
  unsigned charset;
  int scale;
  unsigned offset;
  unsigned nullOffset;
};

// How one input position travels in the message we send.
struct InputShape {
  unsigned type = SQL_VARYING;
  int subType = 0;
  unsigned length = 0;
  unsigned charset = kCharsetNone;
  int scale = 0;
  friend bool operator==(const InputShape&, const InputShape&) = default;
};

bool IsTextColumn(unsigned type) {
  return type == SQL_TEXT || type == SQL_VARYING;
}

constexpr size_t kMaxVarcharBytes = 32765;
constexpr size_t kReadSegment = 65535;   // the most one segment call moves
constexpr size_t kFirstBlobRead = 8192;  // read before a BLOB's length is asked

// The bytes a value takes as text, without copying held text.
size_t TextSize(const Variant& v) {
  const std::string* text = v.textIf();
  return text ? text->size() : v.toString().size();
}

unsigned RoundUpLength(size_t n) {
  if (n > kMaxVarcharBytes) return kMaxVarcharBytes;  // refused when written
  unsigned length = 32;
  while (length < n)
    length *= 2;
  return length > kMaxVarcharBytes ? kMaxVarcharBytes : length;
}

class FirebirdStatement : public StatementBackend {
 public:
  explicit FirebirdStatement(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  ~FirebirdStatement() override {
    closeCursor();
    releaseMetadata();
    if (statement_) {
      if (session_->attached()) {
        Status st;
        try {
          statement_->free(&st);
        } catch (const FbException&) {
          statement_->release();
        }
      } else {
        statement_->release();
      }
    }
  }

  void prepare(const std::string& sql) override {
    Status st;
    Guarded([&] {
      statement_ =
          session_->attachment()->prepare(&st, session_->transaction(), 0, sql.c_str(),
                                          SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA);
      const unsigned type = statement_->getType(&st);
      returnsRows_ = type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
      describedIn_ = statement_->getInputMetadata(&st);
      outMeta_ = statement_->getOutputMetadata(&st);
      readColumns(&st);
      readPositions(&st);
    });
  }

  int positionCount() const override { return static_cast<int>(bound_.size()); }

  void bind(int position, const BoundValue& value) override { bound_.at(position) = value; }

  bool returnsRows() const override { return returnsRows_; }

  void execute() override {
    closeCursor();
    Status st;
    Guarded([&] {
      ITransaction* tra = session_->transaction();
      buildInput(&st, tra);
      releaseBoundBlobs();
      executed_ = true;
      if (returnsRows_) {
        cursor_ = statement_->openCursor(&st, tra, inMeta_, input_.data(), outMeta_, 0);
      } else if (columns_.empty()) {
        // Without output metadata the client does not wait for a reply message.
        statement_->execute(&st, tra, inMeta_, input_.data(), nullptr, nullptr);
      } else {
        statement_->execute(&st, tra, inMeta_, input_.data(), outMeta_, output_.data());
      }
    });
  }

  const std::vector<FieldDef>& describe() override { return fieldDefs_; }

  bool fetch(std::vector<Variant>& row) override {
    if (!cursor_) return false;
    session_->checkAttached();
    Status st;
    return Guarded([&] {
      if (cursor_->fetchNext(&st, output_.data()) != IStatus::RESULT_OK) return false;
      row.resize(columns_.size());
      for (size_t i = 0; i < columns_.size(); ++i) {
        row[i] = Variant();  // the last row's BLOB goes before the next is read
        row[i] = decode(&st, columns_[i]);
      }
      return true;
    });
  }

  void closeCursor() override {
    if (!cursor_) return;
    // Once the attachment is gone, a call into its cursor touches what the
    // client freed with it: only the reference is given back.
    if (!session_->attached()) {
      std::exchange(cursor_, nullptr)->release();
      return;
    }
    Status st;
    try {
      cursor_->close(&st);
    } catch (const FbException&) {
      cursor_->release();  // the transaction already ended and took the cursor with it
    }
    cursor_ = nullptr;
  }

  // Asked of the server only when wanted: it costs a round trip.
  long rowsAffected() const override {
    if (!executed_ || returnsRows_) return 0;
    session_->checkAttached();
    Status st;
    return Guarded([&] { return static_cast<long>(statement_->getAffectedRecords(&st)); });
  }

 private:
  // BLOBs are written by now and every execution binds afresh: holding
  // them would keep a large one alive beside the next row's.
  void releaseBoundBlobs() {
    for (BoundValue& b : bound_) {
      if (b.value.isBytes()) b.value = Variant();
    }
  }

  void releaseMetadata() {
    if (inMeta_ && inMeta_ != describedIn_) inMeta_->release();
    inMeta_ = nullptr;
    if (describedIn_) describedIn_->release();
    describedIn_ = nullptr;
    if (outMeta_) outMeta_->release();
    outMeta_ = nullptr;
  }

  void readColumns(ThrowStatusWrapper* st) {
    const unsigned count = outMeta_->getCount(st);
    columns_.clear();
    fieldDefs_.clear();
    for (unsigned i = 0; i < count; ++i) {
      ColumnInfo c{outMeta_->getType(st, i) & ~1u, outMeta_->getSubType(st, i),
                   outMeta_->getLength(st, i),     outMeta_->getCharSet(st, i),
                   outMeta_->getScale(st, i),      outMeta_->getOffset(st, i),
                   outMeta_->getNullOffset(st, i)};
      columns_.push_back(c);
      FieldDef def;
      def.name = outMeta_->getAlias(st, i);
      def.required = !outMeta_->isNullable(st, i);
      def.type = fieldType(c);
      if (IsTextColumn(c.type)) def.size = static_cast<int>(c.length / BytesPerChar(c.charset));
      fieldDefs_.push_back(def);
    }
    output_.assign(outMeta_->getMessageLength(st), 0);
  }

  void readPositions(ThrowStatusWrapper* st) {
    const unsigned count = describedIn_->getCount(st);
    bound_.assign(count, BoundValue{});
    described_.clear();
    for (unsigned i = 0; i < count; ++i) {
      described_.push_back({describedIn_->getType(st, i) & ~1u, describedIn_->getSubType(st, i),
                            describedIn_->getLength(st, i), describedIn_->getCharSet(st, i),
                            describedIn_->getScale(st, i)});
    }
  }

  static FieldType fieldType(const ColumnInfo& c) {
    switch (c.type) {
      case SQL_TEXT:
      case SQL_VARYING:
        return c.charset == kCharsetUtf8 || c.charset == kCharsetUnicodeFss ? FieldType::WideString
                                                                            : FieldType::String;
      case SQL_SHORT:
        return c.scale == 0 ? FieldType::SmallInt : FieldType::Float;
      case SQL_LONG:
        return c.scale == 0 ? FieldType::Integer : FieldType::Float;
      case SQL_INT64:
        return c.scale == 0 ? FieldType::LargeInt : FieldType::Float;
      case SQL_FLOAT:
      case SQL_DOUBLE:
      case SQL_D_FLOAT:
        return FieldType::Float;
      case SQL_TIMESTAMP:
        return FieldType::DateTime;
      case SQL_TYPE_DATE:
        return FieldType::Date;
      case SQL_TYPE_TIME:
        return FieldType::Time;
      case SQL_BOOLEAN:
        return FieldType::Boolean;
      case SQL_BLOB:
        return c.subType == 1 ? FieldType::WideMemo : FieldType::Blob;
      default:
        return FieldType::Unknown;
    }
  }

  Variant decode(ThrowStatusWrapper* st, const ColumnInfo& c) {
    const unsigned char* p = output_.data() + c.offset;
    if (*reinterpret_cast<const short*>(output_.data() + c.nullOffset) != 0) return Variant::Null();
    switch (c.type) {
      case SQL_TEXT: {
        std::string_view raw(reinterpret_cast<const char*>(p), c.length);
        if (c.charset == kCharsetOctets) return Variant::FromBytes(Bytes(raw.begin(), raw.end()));
        // A UTF-8 CHAR comes padded to its byte length: its characters are
        // the first quarter of them.
        if (c.charset == kCharsetUtf8) {
          return Variant(std::string(raw.substr(0, Utf8PrefixBytes(raw, c.length / 4))));
        }
        return Variant(DecodeUnmarkedBytes(raw));
      }
      case SQL_VARYING: {
        unsigned short n;
        std::memcpy(&n, p, sizeof n);
        std::string_view raw(reinterpret_cast<const char*>(p + 2), n);
        if (c.charset == kCharsetOctets) return Variant::FromBytes(Bytes(raw.begin(), raw.end()));
        if (c.charset == kCharsetUtf8) return Variant(std::string(raw));
        return Variant(DecodeUnmarkedBytes(raw));
      }
      case SQL_SHORT: {
        int16_t v;
        std::memcpy(&v, p, sizeof v);
        return c.scale == 0 ? Variant::Integral(VarType::SmallInt, v) : Scaled(v, c.scale);
      }
      case SQL_LONG: {
        int32_t v;
        std::memcpy(&v, p, sizeof v);
        return c.scale == 0 ? Variant(v) : Scaled(v, c.scale);
      }
      case SQL_INT64: {
        int64_t v;
        std::memcpy(&v, p, sizeof v);
        return Scaled(v, c.scale);
      }
      case SQL_FLOAT: {
        float v;
        std::memcpy(&v, p, sizeof v);
        return Variant::Floating(VarType::Single, v);
      }
      case SQL_DOUBLE:
      case SQL_D_FLOAT: {
        double v;
        std::memcpy(&v, p, sizeof v);
        return c.scale == 0 ? Variant(v) : ScaledDouble(v, c.scale);
      }
      case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, p, sizeof ts);
        return Variant(
            DateTime::FromTicks((static_cast<int64_t>(ts.timestamp_date) - kEpochInFirebirdDays) *
                                    DateTime::kTicksPerDay +
                                ts.timestamp_time));
      }
      case SQL_TYPE_DATE: {
        ISC_DATE d;
        std::memcpy(&d, p, sizeof d);
        return Variant(DateTime::FromTicks((static_cast<int64_t>(d) - kEpochInFirebirdDays) *
                                           DateTime::kTicksPerDay));
      }
      case SQL_TYPE_TIME: {
        ISC_TIME t;
        std::memcpy(&t, p, sizeof t);
        return Variant(DateTime::FromTicks(t));
      }
      case SQL_BOOLEAN:
        return Variant(*p != 0);
      case SQL_BLOB: {
        ISC_QUAD id;
        std::memcpy(&id, p, sizeof id);
        if (c.subType == 1) return Variant(readBlob<std::string>(st, id));
        return Variant::FromBytes(readBlob<Bytes>(st, id));
      }
      default:
        throw EDatabaseError(Format("Unsupported column type %d", static_cast<int>(c.type)));
    }
  }

  // Most BLOBs end within a first small read, which needs no length from
  // the server (a round trip per BLOB). A longer one asks for its length
  // and is read straight into a buffer of that size, so that a large BLOB
  // is held once, not grown through copies.
  template <typename Buffer>
  Buffer readBlob(ThrowStatusWrapper* st, ISC_QUAD& id) {
    IBlob* blob = session_->attachment()->openBlob(st, session_->transaction(), &id, 0, nullptr);
    Buffer buffer;
    try {
      int r = IStatus::RESULT_OK;
      const auto more = [&r] { return r == IStatus::RESULT_OK || r == IStatus::RESULT_SEGMENT; };
      // Reads into `into` from `at` on until `size` bytes are there or the BLOB ends.
      const auto fill = [&](typename Buffer::value_type* into, size_t& at, size_t size) {
        while (more() && at < size) {
          unsigned got = 0;
          const auto want = static_cast<unsigned>(std::min(size - at, kReadSegment));
          r = blob->getSegment(st, want, into + at, &got);
          at += got;
        }
      };
      typename Buffer::value_type first[kFirstBlobRead];
      size_t at = 0;
      fill(first, at, sizeof first);
      if (!more()) {
        buffer.assign(first, first + at);
      } else {
        buffer.resize(std::max(TotalLength(st, blob), at));
        std::copy(first, first + at, buffer.begin());
        fill(buffer.data(), at, buffer.size());
        buffer.resize(at);
      }
      // Past the announced length (or none was given): the end, or more.
      while (more()) {
        size_t got = 0;
        fill(first, got, sizeof first);
        buffer.insert(buffer.end(), first, first + got);
      }
      blob->close(st);
    } catch (...) {
      blob->release();
      throw;
    }
    return buffer;
  }

  // The length the server gives for an open BLOB; 0 when it gives none.
  static size_t TotalLength(ThrowStatusWrapper* st, IBlob* blob) {
    const unsigned char items[] = {isc_info_blob_total_length};
    unsigned char answer[16] = {};
    blob->getInfo(st, sizeof items, items, sizeof answer, answer);
    if (answer[0] != isc_info_blob_total_length) return 0;
    const int n = answer[1] | (answer[2] << 8);
    if (n < 1 || n > 8) return 0;
    uint64_t length = 0;
    for (int i = n - 1; i >= 0; --i)
      length = (length << 8) | answer[3 + i];
    return static_cast<size_t>(length);
  }

  ISC_QUAD writeBlob(ThrowStatusWrapper* st, ITransaction* tra, std::string_view data) {
    ISC_QUAD id{};
    IBlob* blob = session_->attachment()->createBlob(st, tra, &id, 0, nullptr);
    try {
      constexpr size_t kSegment = 32768;
      for (size_t at = 0; at < data.size(); at += kSegment) {
        const size_t n = std::min(kSegment, data.size() - at);
        blob->putSegment(st, static_cast<unsigned>(n), data.data() + at);
      }
      blob->close(st);
    } catch (...) {
      blob->release();
      throw;
    }
    return id;
  }

  // The message type for one value: blobs and NULLs keep the described
  // type; other values travel as themselves and the server converts.
  InputShape shapeFor(unsigned i, const BoundValue& b) const {
    const InputShape& described = described_[i];
    const Variant& v = b.value;
    if (v.isNullOrEmpty() || described.type == SQL_BLOB) return described;
    if (IsBlobType(b.type) || v.isBytes()) {
      if (IsBlobType(b.type) && !IsTextColumn(described.type)) return described;
      const size_t n = v.isBytes() ? v.bytes().size() : TextSize(v);
      return {SQL_VARYING, 0, RoundUpLength(n),
              IsTextColumn(described.type) ? described.charset : kCharsetOctets, 0};
    }
    if (IsSignedIntegerType(v.type())) return {SQL_INT64, 0, 8, 0, 0};
    // A decimal travels as its scaled whole number: exact, whatever the column.
    if (const Decimal* d = v.decimalIf()) return {SQL_INT64, 0, 8, 0, -d->scale};
    switch (v.type()) {
      case VarType::Boolean:
        if (described.type == SQL_BOOLEAN) return {SQL_BOOLEAN, 0, 1, 0, 0};
        return {SQL_INT64, 0, 8, 0, 0};
      case VarType::Single:
      case VarType::Double:
      case VarType::Currency:
        return {SQL_DOUBLE, 0, 8, 0, 0};
      case VarType::Date:
        return {SQL_TIMESTAMP, 0, sizeof(ISC_TIMESTAMP), 0, 0};
      default:
        return {SQL_VARYING, 0, RoundUpLength(TextSize(v)), kCharsetUtf8, 0};
    }
  }

  void buildInput(ThrowStatusWrapper* st, ITransaction* tra) {
    const unsigned count = static_cast<unsigned>(bound_.size());
    std::vector<InputShape>& shapes = nextShapes_;
    shapes.resize(count);
    for (unsigned i = 0; i < count; ++i)
      shapes[i] = shapeFor(i, bound_[i]);
    if (!inMeta_ || shapes != shapes_) {
      IMetadataBuilder* builder = describedIn_->getBuilder(st);
      try {
        for (unsigned i = 0; i < count; ++i) {
          const InputShape& s = shapes[i];
          builder->setType(st, i, s.type | 1);
          builder->setSubType(st, i, s.subType);
          builder->setLength(st, i, s.length);
          builder->setCharSet(st, i, s.charset);
          builder->setScale(st, i, s.scale);
        }
        IMessageMetadata* meta = builder->getMetadata(st);
        if (inMeta_ && inMeta_ != describedIn_) inMeta_->release();
        inMeta_ = meta;
        builder->release();
      } catch (...) {
        builder->release();
        throw;
      }
      shapes_ = shapes;
      input_.assign(inMeta_->getMessageLength(st), 0);
      offsets_.resize(count);
      for (unsigned i = 0; i < count; ++i) {
        offsets_[i] = {inMeta_->getOffset(st, i), inMeta_->getNullOffset(st, i)};
      }
    }
    for (unsigned i = 0; i < count; ++i)
      writeValue(st, tra, i, shapes_[i], bound_[i]);
  }

  void writeValue(ThrowStatusWrapper* st, ITransaction* tra, unsigned i, const InputShape& s,
                  const BoundValue& b) {
    unsigned char* p = input_.data() + offsets_[i].first;
    short* nullFlag = reinterpret_cast<short*>(input_.data() + offsets_[i].second);
    const Variant& v = b.value;
    *nullFlag = v.isNullOrEmpty() ? -1 : 0;
    if (*nullFlag) return;
    switch (s.type) {
      case SQL_BLOB: {
        ISC_QUAD id;
        if (v.isBytes()) {
          const Bytes& bytes = v.bytes();
          id = writeBlob(
              st, tra, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        } else {
          const std::string* text = v.textIf();
          id = writeBlob(st, tra, text ? *text : v.toString());
        }
        std::memcpy(p, &id, sizeof id);
        return;
      }
      case SQL_VARYING: {
        std::string converted;
        std::string_view text;
        if (v.isBytes()) {
          text =
              std::string_view(reinterpret_cast<const char*>(v.bytes().data()), v.bytes().size());
        } else if (const std::string* held = v.textIf()) {
          text = *held;
        } else {
          converted = v.toString();
          text = converted;
        }
        if (text.size() > kMaxVarcharBytes) {
          throw EDatabaseError(Format("A value of %d bytes is too long for a text parameter",
                                      static_cast<int64_t>(text.size())));
        }
        const auto n = static_cast<unsigned short>(text.size());
        std::memcpy(p, &n, sizeof n);
        std::memcpy(p + 2, text.data(), text.size());
        return;
      }
      case SQL_BOOLEAN:
        *p = v.toBool() ? 1 : 0;
        return;
      case SQL_INT64: {
        const Decimal* d = v.decimalIf();
        const int64_t n = d                              ? d->unscaled
                          : v.type() == VarType::Boolean ? (v.toBool() ? 1 : 0)
                                                         : v.toInt64();
        std::memcpy(p, &n, sizeof n);
        return;
      }
      case SQL_DOUBLE: {
        const double d = v.toDouble();
        std::memcpy(p, &d, sizeof d);
        return;
      }
      case SQL_TIMESTAMP: {
        const DateTime t = v.toDateTime();
        ISC_TIMESTAMP ts;
        ts.timestamp_date = static_cast<ISC_DATE>(t.dayNumber() + kEpochInFirebirdDays);
        ts.timestamp_time = static_cast<ISC_TIME>(t.ticksOfDay());
        std::memcpy(p, &ts, sizeof ts);
        return;
      }
      default:
        throw EDatabaseError(Format("Unsupported parameter type %d", static_cast<int>(s.type)));
    }
  }

  std::shared_ptr<Session> session_;
  IStatement* statement_ = nullptr;
  IMessageMetadata* describedIn_ = nullptr;
  IMessageMetadata* inMeta_ = nullptr;
  IMessageMetadata* outMeta_ = nullptr;
  IResultSet* cursor_ = nullptr;
  bool returnsRows_ = false;
  std::vector<BoundValue> bound_;
  std::vector<InputShape> described_;
  std::vector<InputShape> shapes_;
  std::vector<InputShape> nextShapes_;  // kept to spare an allocation per execution
  std::vector<std::pair<unsigned, unsigned>> offsets_;
  std::vector<unsigned char> input_;
  std::vector<unsigned char> output_;
  std::vector<ColumnInfo> columns_;
  std::vector<FieldDef> fieldDefs_;
  bool executed_ = false;
};

}  // namespace

std::unique_ptr<StatementBackend> MakeFirebirdStatement(std::shared_ptr<Session> session) {
  return std::make_unique<FirebirdStatement>(std::move(session));
}

}  // namespace movrano::db::firebird_detail
