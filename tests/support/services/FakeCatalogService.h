#pragma once
// A small global catalog service for tests, on the loopback SOAP server.
// Serves the paged reads (GetCAT_MOrganizations and the others) from a
// table of records per operation, a page at a time with MoreDataAvailable
// and OutputCursor; GETCat_FullItem from a table of manufacturer items by
// GUID; and answers Add/Update operations with one edit result per record.
// Records what each read and edit asked for.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/services/LoopbackSoapServer.h"

namespace movrano::testing {

// A record as the service sends it: its class's XML name, its simple fields
// and its arrays of records, each in the order given.
struct CatalogRecord {
  std::string type;
  std::vector<std::pair<std::string, std::string>> fields;
  std::vector<std::pair<std::string, std::vector<CatalogRecord>>> arrays;

  CatalogRecord& Set(std::string element, std::string text);
  CatalogRecord& Array(std::string element, std::vector<CatalogRecord> items);
  std::string Field(const std::string& element) const;
};

// A record of `type` with the common fields: GUID, HRID, CreatedAt and
// LastModifiedAt (fixed UTC dates), CreatedByGUID and LastModifiedByGUID.
CatalogRecord MakeCatalogRecord(std::string type, std::string guid, std::string hrid = {});

struct CatalogRead {
  std::string operation;
  std::vector<std::string> children;  // element names of the request, in order
  std::vector<std::string> options, guids;
  std::string filter, inputCursor;
};

struct CatalogEdit {
  std::string operation;
  std::vector<std::string> guids;  // of the records sent
};

class FakeCatalogService {
 public:
  FakeCatalogService();

  std::string Url() const { return server_.Url(); }
  LoopbackSoapServer& Server() { return server_; }
  const LoopbackSoapServer& Server() const { return server_; }

  void SetPageSize(size_t records);  // 2 unless set
  void SetRecords(const std::string& readOperation, std::vector<CatalogRecord> records);
  void AddFullItem(CatalogRecord manufacturerItem);
  // When set, a request without this SessionID and APIVersion "1.0.0" gets a fault.
  void RequireSession(std::string sessionId);

  std::vector<CatalogRead> Reads() const;
  std::vector<CatalogEdit> Edits() const;

 private:
  void answer(const ReceivedRequest& request, soap::XmlNode body, soap::XmlWriter& w);
  void pagedRead(const CatalogRead& read, soap::XmlWriter& w);
  void fullItem(const CatalogRead& read, soap::XmlWriter& w);
  void edit(const std::string& operation, soap::XmlNode body, soap::XmlWriter& w);

  mutable std::mutex mutex_;
  size_t pageSize_ = 2;
  std::map<std::string, std::vector<CatalogRecord>> records_;
  std::vector<CatalogRecord> fullItems_;
  std::optional<std::string> session_;
  std::vector<CatalogRead> reads_;
  std::vector<CatalogEdit> edits_;
  LoopbackSoapServer server_;  // last: stops before the tables go
};

}  // namespace movrano::testing
