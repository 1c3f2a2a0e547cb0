#include "RawFirebirdInsert.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace movrano::bench {

using namespace Firebird;

std::string RowGuid(int i) {
  char b[40];
  std::snprintf(b, sizeof b, "{%08X-0000-4000-8000-%012d}", i, i);
  return b;
}
std::string RowHrid(int i) {
  return "ITEM-" + std::to_string(100000 + i);
}
std::string RowUserGuid(int i) {
  return RowGuid(i % 17 + 1000000);
}
std::string RowDescription(int i) {
  return "Resistor 10k 0603, revision " + std::to_string(i % 9);
}

double RawInsertLoop(const std::string& databasePath, int rows) {
  IMaster* master = fb_get_master_interface();
  ThrowStatusWrapper st(master->getStatus());
  IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
  dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
  dpb->insertString(&st, isc_dpb_password, "quartzfen");
  dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
  const std::string name = "localhost:" + databasePath;
  IAttachment* att = master->getDispatcher()->attachDatabase(
      &st, name.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
  dpb->dispose();

  const auto start = std::chrono::steady_clock::now();
  ITransaction* tra = att->startTransaction(&st, 0, nullptr);
  IStatement* stmt = att->prepare(&st, tra, 0, VaultRowTable::kInsert, SQL_DIALECT_V6, 0);
  IMessageMetadata* meta = stmt->getInputMetadata(&st);
  std::vector<unsigned char> msg(meta->getMessageLength(&st));
  auto putText = [&](unsigned index, const std::string& s) {
    unsigned char* p = msg.data() + meta->getOffset(&st, index);
    const auto n = static_cast<unsigned short>(s.size());
    std::memcpy(p, &n, 2);
    std::memcpy(p + 2, s.data(), s.size());
    *reinterpret_cast<short*>(msg.data() + meta->getNullOffset(&st, index)) = 0;
  };
  for (int i = 0; i < rows; ++i) {
    putText(0, RowGuid(i));
    putText(1, RowHrid(i));
    putText(2, RowUserGuid(i));
    putText(3, RowUserGuid(i + 3));
    ISC_TIMESTAMP ts{static_cast<ISC_DATE>(60000 + i % 1000), static_cast<ISC_TIME>(i * 10)};
    std::memcpy(msg.data() + meta->getOffset(&st, 4), &ts, sizeof ts);
    *reinterpret_cast<short*>(msg.data() + meta->getNullOffset(&st, 4)) = 0;
    ISC_QUAD id;
    IBlob* blob = att->createBlob(&st, tra, &id, 0, nullptr);
    const std::string text = RowDescription(i);
    blob->putSegment(&st, static_cast<unsigned>(text.size()), text.data());
    blob->close(&st);
    std::memcpy(msg.data() + meta->getOffset(&st, 5), &id, sizeof id);
    *reinterpret_cast<short*>(msg.data() + meta->getNullOffset(&st, 5)) = 0;
    stmt->execute(&st, tra, meta, msg.data(), nullptr, nullptr);
  }
  tra->commit(&st);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  meta->release();
  stmt->free(&st);
  att->detach(&st);
  return seconds;
}

}  // namespace movrano::bench
