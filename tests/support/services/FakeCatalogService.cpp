#include "support/services/FakeCatalogService.h"

#include <algorithm>

#include "services/ServiceEndpoints.h"
#include "services/soap/Registries.h"

namespace movrano::testing {
namespace {

constexpr const char* kCursorPrefix = "cursor-";

void WriteRecord(soap::XmlWriter& w, const std::string& element, const CatalogRecord& r) {
  w.Start(element);
  for (const auto& [name, text] : r.fields)
    w.Element(name, text);
  for (const auto& [name, items] : r.arrays) {
    w.Start(name);
    for (const CatalogRecord& item : items)
      WriteRecord(w, item.type, item);
    w.End();
  }
  w.End();
}

void WriteGetResult(soap::XmlWriter& w, bool more, const std::string& cursor) {
  w.Start("MethodResult");
  w.Element("Message", "");
  w.Element("Success", "true");
  w.Element("MoreDataAvailable", more ? "true" : "false");
  w.Element("OutputCursor", cursor);
  w.End();
}

std::string HeaderText(const ReceivedRequest& r, const std::string& name) {
  for (const ReceivedElement& h : r.headers)
    if (h.ns == soap::kXmlSchemaNamespace && h.name == name) return h.text;
  return {};
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

}  // namespace

CatalogRecord& CatalogRecord::Set(std::string element, std::string text) {
  fields.emplace_back(std::move(element), std::move(text));
  return *this;
}

CatalogRecord& CatalogRecord::Array(std::string element, std::vector<CatalogRecord> items) {
  arrays.emplace_back(std::move(element), std::move(items));
  return *this;
}

std::string CatalogRecord::Field(const std::string& element) const {
  for (const auto& [name, text] : fields)
    if (name == element) return text;
  return {};
}

CatalogRecord MakeCatalogRecord(std::string type, std::string guid, std::string hrid) {
  CatalogRecord r{std::move(type), {}, {}};
  r.Set("GUID", guid)
      .Set("HRID", hrid.empty() ? "HR-" + guid : hrid)
      .Set("CreatedAt", "2020-01-02T03:04:05.000Z")
      .Set("LastModifiedAt", "2021-06-07T08:09:10.000Z")
      .Set("CreatedByGUID", "creator-guid")
      .Set("LastModifiedByGUID", "modifier-guid");
  return r;
}

FakeCatalogService::FakeCatalogService()
    : server_([this](const ReceivedRequest& r, soap::XmlNode body, soap::XmlWriter& w) {
        answer(r, body, w);
      }) {}

void FakeCatalogService::SetPageSize(size_t records) {
  std::lock_guard lock(mutex_);
  pageSize_ = std::max<size_t>(records, 1);
}

void FakeCatalogService::SetRecords(const std::string& readOperation,
                                    std::vector<CatalogRecord> records) {
  std::lock_guard lock(mutex_);
  records_[readOperation] = std::move(records);
}

void FakeCatalogService::AddFullItem(CatalogRecord manufacturerItem) {
  std::lock_guard lock(mutex_);
  fullItems_.push_back(std::move(manufacturerItem));
}

void FakeCatalogService::RequireSession(std::string sessionId) {
  std::lock_guard lock(mutex_);
  session_ = std::move(sessionId);
}

std::vector<CatalogRead> FakeCatalogService::Reads() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

std::vector<CatalogEdit> FakeCatalogService::Edits() const {
  std::lock_guard lock(mutex_);
  return edits_;
}

void FakeCatalogService::answer(const ReceivedRequest& r, soap::XmlNode body, soap::XmlWriter& w) {
  std::lock_guard lock(mutex_);
  if (session_ &&
      (HeaderText(r, "SessionID") != *session_ || HeaderText(r, "APIVersion") != "1.0.0"))
    throw SoapFault{"SOAP-ENV:Client", "Session is not valid"};
  const std::string& op = r.bodyName;
  if (StartsWith(op, "AddCAT_") || StartsWith(op, "UpdateCAT_")) return edit(op, body, w);
  CatalogRead read{op,
                   r.bodyChildren,
                   ChildTexts(soap::ChildNamed(body, "Options")),
                   ChildTexts(soap::ChildNamed(body, "Guids")),
                   ChildText(body, "Filter"),
                   ChildText(body, "InputCursor")};
  reads_.push_back(read);
  if (op == "GETCat_FullItem") return fullItem(read, w);
  if (records_.count(op)) return pagedRead(read, w);
  throw SoapFault{"SOAP-ENV:Client", "Operation " + op + " is not offered here"};
}

void FakeCatalogService::pagedRead(const CatalogRead& read, soap::XmlWriter& w) {
  const std::vector<CatalogRecord>& all = records_.at(read.operation);
  size_t start = 0;
  if (!read.inputCursor.empty()) {
    if (!StartsWith(read.inputCursor, kCursorPrefix))
      throw SoapFault{"SOAP-ENV:Client", "Unknown cursor"};
    start = std::stoul(read.inputCursor.substr(std::string(kCursorPrefix).size()));
  }
  const size_t end = std::min(all.size(), start + pageSize_);
  const bool more = end < all.size();
  w.Start(read.operation + "Response");
  w.Attribute("xmlns", kTavrinServicesNamespace);
  WriteGetResult(w, more, more ? kCursorPrefix + std::to_string(end) : "");
  w.Start("Records");
  for (size_t i = start; i < end; ++i)
    WriteRecord(w, all[i].type, all[i]);
  w.End();
  w.End();
}

void FakeCatalogService::fullItem(const CatalogRead& read, soap::XmlWriter& w) {
  w.Start("GETCat_FullItemResponse");
  w.Attribute("xmlns", kTavrinServicesNamespace);
  w.Start("Records");
  for (const std::string& guid : read.guids)
    for (const CatalogRecord& item : fullItems_)
      if (item.Field("GUID") == guid) WriteRecord(w, item.type, item);
  w.End();
  WriteGetResult(w, false, "");
  w.End();
}

void FakeCatalogService::edit(const std::string& operation, soap::XmlNode body,
                              soap::XmlWriter& w) {
  CatalogEdit e{operation, {}};
  const soap::XmlNode records = soap::ChildNamed(body, "Records");
  for (soap::XmlNode r = soap::FirstChildElement(records); r; r = soap::NextElement(r))
    e.guids.push_back(ChildText(r, "GUID"));
  edits_.push_back(e);
  w.Start(operation + "Response");
  w.Attribute("xmlns", kTavrinServicesNamespace);
  w.Start("MethodResult");
  w.Element("Message", std::to_string(e.guids.size()) + " records stored");
  w.Element("Success", "true");
  w.Start("Results");
  for (const std::string& guid : e.guids) {
    w.Start("TLU_EditResult");
    w.Element("Message", "");
    w.Element("Success", "true");
    w.Element("GUID", guid);
    w.End();
  }
  w.End();
  w.End();
  w.End();
}

}  // namespace movrano::testing
