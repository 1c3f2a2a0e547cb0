#include "RawFirebirdCopy.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "RawFirebirdInsert.h"

namespace movrano::bench {

using namespace Firebird;

namespace {

constexpr const char* kSelect =
    "select GUID, HRID, CREATEDBYGUID, LASTMODIFIEDBYGUID, CREATED, DESCRIPTION from BENCH_ITEM";

IAttachment* Attach(IMaster* master, ThrowStatusWrapper& st, const std::string& databasePath) {
  IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
  dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
  dpb->insertString(&st, isc_dpb_password, "quartzfen");
  dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
  const std::string name = "localhost:" + databasePath;
  IAttachment* att = master->getDispatcher()->attachDatabase(
      &st, name.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
  dpb->dispose();
  return att;
}

// A fetched row goes to the insert as it is, described by the select's own
// metadata (the server converts where a parameter's type differs); only a
// BLOB needs a new BLOB of the destination.
class StepCopy {
 public:
  StepCopy(IAttachment* src, ITransaction* srcTra, IAttachment* dst, ITransaction* dstTra,
           ThrowStatusWrapper& st, const RawCopyStep& step)
      : src_(src), srcTra_(srcTra), dst_(dst), dstTra_(dstTra), st_(st) {
    select_ = src->prepare(&st, srcTra, 0, step.select.c_str(), SQL_DIALECT_V6,
                           IStatement::PREPARE_PREFETCH_METADATA);
    insert_ = dst->prepare(&st, dstTra, 0, step.insert.c_str(), SQL_DIALECT_V6,
                           IStatement::PREPARE_PREFETCH_METADATA);
    meta_ = select_->getOutputMetadata(&st);
    IMessageMetadata* inMeta = insert_->getInputMetadata(&st);
    const unsigned count = meta_->getCount(&st);
    const unsigned params = inMeta->getCount(&st);
    inMeta->release();
    if (params != count) throw std::runtime_error("column and parameter counts differ");
    for (unsigned i = 0; i < count; ++i) {
      if ((meta_->getType(&st, i) & ~1u) == SQL_BLOB) {
        blobs_.push_back({meta_->getOffset(&st, i), meta_->getNullOffset(&st, i)});
      }
    }
    row_.resize(meta_->getMessageLength(&st));
  }
  ~StepCopy() {
    meta_->release();
    select_->free(&st_);
    insert_->free(&st_);
  }
  StepCopy(const StepCopy&) = delete;
  StepCopy& operator=(const StepCopy&) = delete;

  void run(RawCopyResult& result, int every, const std::function<void(int)>& onRows) {
    IResultSet* cursor = select_->openCursor(&st_, srcTra_, nullptr, nullptr, meta_, 0);
    while (cursor->fetchNext(&st_, row_.data()) == IStatus::RESULT_OK) {
      for (const Blob& b : blobs_)
        copyBlob(b);
      insert_->execute(&st_, dstTra_, meta_, row_.data(), nullptr, nullptr);
      ++result.rows;
      if (onRows && every > 0 && result.rows % every == 0) onRows(result.rows);
    }
    cursor->close(&st_);
  }

 private:
  struct Blob {
    unsigned offset, nullOffset;
  };

  void copyBlob(const Blob& b) {
    short isNull;
    std::memcpy(&isNull, row_.data() + b.nullOffset, sizeof isNull);
    if (isNull) return;
    ISC_QUAD sourceId;
    std::memcpy(&sourceId, row_.data() + b.offset, sizeof sourceId);
    IBlob* reader = src_->openBlob(&st_, srcTra_, &sourceId, 0, nullptr);
    ISC_QUAD destId;
    IBlob* writer = dst_->createBlob(&st_, dstTra_, &destId, 0, nullptr);
    for (;;) {
      unsigned got = 0;
      const int r =
          reader->getSegment(&st_, static_cast<unsigned>(segment_.size()), segment_.data(), &got);
      if (r != IStatus::RESULT_OK && r != IStatus::RESULT_SEGMENT) break;
      writer->putSegment(&st_, got, segment_.data());
    }
    reader->close(&st_);
    writer->close(&st_);
    std::memcpy(row_.data() + b.offset, &destId, sizeof destId);
  }

  IAttachment* src_;
  ITransaction* srcTra_;
  IAttachment* dst_;
  ITransaction* dstTra_;
  ThrowStatusWrapper& st_;
  IStatement* select_ = nullptr;
  IStatement* insert_ = nullptr;
  IMessageMetadata* meta_ = nullptr;
  std::vector<Blob> blobs_;
  std::vector<unsigned char> row_;
  std::vector<char> segment_ = std::vector<char>(32768);
};

}  // namespace

RawCopyResult RawCopySteps(const std::string& sourcePath, const std::string& destPath,
                           const std::vector<RawCopyStep>& steps, int every,
                           const std::function<void(int)>& onRows) {
  IMaster* master = fb_get_master_interface();
  IStatus* status = master->getStatus();
  ThrowStatusWrapper st(status);
  IAttachment* src = Attach(master, st, sourcePath);
  IAttachment* dst = Attach(master, st, destPath);

  RawCopyResult result;
  const auto start = std::chrono::steady_clock::now();
  // The isolation the db layer's transactions use, so both loops do the same work.
  static const unsigned char kTpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                       isc_tpb_rec_version, isc_tpb_wait};
  ITransaction* srcTra = src->startTransaction(&st, sizeof kTpb, kTpb);
  ITransaction* dstTra = dst->startTransaction(&st, sizeof kTpb, kTpb);
  for (const RawCopyStep& step : steps) {
    const auto stepStart = std::chrono::steady_clock::now();
    StepCopy(src, srcTra, dst, dstTra, st, step).run(result, every, onRows);
    result.stepSeconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - stepStart).count());
  }
  dstTra->commit(&st);
  srcTra->commit(&st);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  src->detach(&st);
  dst->detach(&st);
  status->dispose();
  return result;
}

RawCopyResult RawCopyLoop(const std::string& sourcePath, const std::string& destPath, int every,
                          const std::function<void(int)>& onRows) {
  return RawCopySteps(sourcePath, destPath, {{kSelect, VaultRowTable::kInsert}}, every, onRows);
}

}  // namespace movrano::bench
