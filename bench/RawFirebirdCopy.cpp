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

// Where one column sits in the fetched message and in the insert's.
struct Column {
  unsigned type;
  unsigned length;
  unsigned outOffset, outNull;
  unsigned inOffset, inNull;
};

}  // namespace

RawCopyResult RawCopyLoop(const std::string& sourcePath, const std::string& destPath, int every,
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
  IStatement* select =
      src->prepare(&st, srcTra, 0, kSelect, SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA);
  IStatement* insert = dst->prepare(&st, dstTra, 0, VaultRowTable::kInsert, SQL_DIALECT_V6,
                                    IStatement::PREPARE_PREFETCH_METADATA);
  IMessageMetadata* outMeta = select->getOutputMetadata(&st);
  IMessageMetadata* inMeta = insert->getInputMetadata(&st);

  // Both sides describe the same table, so each value travels byte for byte
  // (a BLOB through a new BLOB of the destination).
  const unsigned count = outMeta->getCount(&st);
  if (inMeta->getCount(&st) != count)
    throw std::runtime_error("column and parameter counts differ");
  std::vector<Column> columns;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned type = outMeta->getType(&st, i) & ~1u;
    if (type != (inMeta->getType(&st, i) & ~1u) ||
        outMeta->getLength(&st, i) != inMeta->getLength(&st, i)) {
      throw std::runtime_error("column " + std::to_string(i) + " differs from its parameter");
    }
    columns.push_back({type, outMeta->getLength(&st, i), outMeta->getOffset(&st, i),
                       outMeta->getNullOffset(&st, i), inMeta->getOffset(&st, i),
                       inMeta->getNullOffset(&st, i)});
  }
  std::vector<unsigned char> out(outMeta->getMessageLength(&st));
  std::vector<unsigned char> in(inMeta->getMessageLength(&st));
  std::vector<char> segment(32768);

  IResultSet* cursor = select->openCursor(&st, srcTra, nullptr, nullptr, outMeta, 0);
  while (cursor->fetchNext(&st, out.data()) == IStatus::RESULT_OK) {
    for (const Column& c : columns) {
      short isNull;
      std::memcpy(&isNull, out.data() + c.outNull, sizeof isNull);
      std::memcpy(in.data() + c.inNull, &isNull, sizeof isNull);
      if (isNull) continue;
      const unsigned char* from = out.data() + c.outOffset;
      unsigned char* to = in.data() + c.inOffset;
      if (c.type == SQL_BLOB) {
        ISC_QUAD sourceId;
        std::memcpy(&sourceId, from, sizeof sourceId);
        IBlob* reader = src->openBlob(&st, srcTra, &sourceId, 0, nullptr);
        ISC_QUAD destId;
        IBlob* writer = dst->createBlob(&st, dstTra, &destId, 0, nullptr);
        for (;;) {
          unsigned got = 0;
          const int r =
              reader->getSegment(&st, static_cast<unsigned>(segment.size()), segment.data(), &got);
          if (r != IStatus::RESULT_OK && r != IStatus::RESULT_SEGMENT) break;
          writer->putSegment(&st, got, segment.data());
        }
        reader->close(&st);
        writer->close(&st);
        std::memcpy(to, &destId, sizeof destId);
      } else if (c.type == SQL_VARYING) {
        unsigned short n;
        std::memcpy(&n, from, sizeof n);
        std::memcpy(to, from, sizeof n + n);
      } else {
        std::memcpy(to, from, c.length);
      }
    }
    insert->execute(&st, dstTra, inMeta, in.data(), nullptr, nullptr);
    ++result.rows;
    if (onRows && every > 0 && result.rows % every == 0) onRows(result.rows);
  }
  cursor->close(&st);
  dstTra->commit(&st);
  srcTra->commit(&st);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  outMeta->release();
  inMeta->release();
  select->free(&st);
  insert->free(&st);
  src->detach(&st);
  dst->detach(&st);
  status->dispose();
  return result;
}

}  // namespace movrano::bench
