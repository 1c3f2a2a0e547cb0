// The catalog copies: the five lists of the global catalog service, page
// by page, then the full catalog item of each part GUID, every row through
// its own named insert statement, all in one destination transaction.
#include <algorithm>
#include <optional>
#include <set>

#include "catalog/PCLMigrationManager.h"
#include "db/Query.h"
#include "db/Transaction.h"
#include "services/TavrinGlobalCatalog.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {

constexpr const char* kOrderByGuid = "ORDER BY GUID";
// Part GUIDs per full-item request.
constexpr size_t kGuidsPerRequest = 1;

db::DateTime LocalDateTime(const soap::XSDateTime& value) {
  const soap::XSDateTime::Parts p = value.AsLocal();
  return db::DateTime::FromParts(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond);
}

// The copies expect every record to carry both dates; one that lacks a
// date ends the run (and so rolls the catalog back).
const soap::XSDateTime& Required(const TLU_Object& record,
                                 const std::optional<soap::XSDateTime>& date, const char* field) {
  if (!date) {
    RaiseMigrationErrorFmt("The global catalog service sent the record %s without %s.",
                           {record.GUID, field});
  }
  return *date;
}
db::DateTime RequiredDate(const TLU_Object& record, const std::optional<soap::XSDateTime>& date,
                          const char* field) {
  return LocalDateTime(Required(record, date, field));
}

// Every element of a record list must be a record.
template <class T>
const T& Present(const std::unique_ptr<T>& element, const char* list) {
  if (!element) {
    RaiseMigrationErrorFmt("The global catalog service sent an empty element in %s.", {list});
  }
  return *element;
}

void SetText(db::Query& query, const char* name, const std::string& value) {
  query.paramByName(name).setText(value);
}
void SetTextOrNull(db::Query& query, const char* name, const std::string& value) {
  db::Param& param = query.paramByName(name);
  value.empty() ? param.setNull() : param.setText(value);
}
void SetDateTime(db::Query& query, const char* name, db::DateTime value) {
  query.paramByName(name).setDateTime(value);
}
void SetInteger(db::Query& query, const char* name, int32_t value) {
  query.paramByName(name).setInteger(value);
}
void SetFloat(db::Query& query, const char* name, double value) {
  query.paramByName(name).setDouble(value);
}
void SetBoolean(db::Query& query, const char* name, bool value) {
  query.paramByName(name).setValue(db::Variant(value));
}

}  // namespace

void TPCLMigrationManager::CopyPCLData() {
  if (FPCLGUIDs.empty()) return;
  db::Transaction transaction(FDestDatabase);
  CopyMOrganizations();
  CopyMOrganizationSynonyms();
  CopyMItemCategories();
  CopySOrganizations();
  CopySItemCategories();
  CopyCatalogItems();
  transaction.commit();
}

void TPCLMigrationManager::SetCommonParams(db::Query& query, const TLU_Object& record) {
  SetText(query, "GUID", record.GUID);
  SetText(query, "HRID", record.HRID);
  SetText(query, "CreatedByGUID", record.CreatedByGUID);
  SetText(query, "LastModifiedByGUID", record.LastModifiedByGUID);
  SetDateTime(query, "CreatedAt", RequiredDate(record, record.CreatedAt, "CreatedAt"));
  SetDateTime(query, "LastModifiedAt",
              RequiredDate(record, record.LastModifiedAt, "LastModifiedAt"));
}

template <class Record, class BindOwn>
void TPCLMigrationManager::InsertRecord(const char* statement, const Record& record,
                                        const BindOwn& bindOwn) {
  const std::unique_ptr<db::Query> query = CreateQuery(FDestDatabase, statement);
  query->prepare();
  SetCommonParams(*query, record);
  bindOwn(*query, record);
  query->execSql();
}

template <class Request, class Response, class BindOwn>
void TPCLMigrationManager::CopyPages(
    const char* title, const char* operation,
    std::unique_ptr<Response> (TavrinGlobalCatalogPort::*read)(const Request&),
    const char* statement, const BindOwn& bindOwn, bool skipFailedInserts) {
  LogMessage(title);
  std::string cursor;
  // One request for every page; only its cursor changes.
  Request request;
  request.Filter = kOrderByGuid;
  std::shared_ptr<TavrinGlobalCatalogPort> port;
  // A page that announces more data must lead to a page not read yet, or
  // the copy would ask for the same pages for ever.
  std::set<std::string> cursorsRead{cursor};
  bool moreDataAvailable = true;
  while (moreDataAvailable) {
    request.InputCursor = cursor;
    port = GetCatalogPort();
    {
      const std::unique_ptr<Response> response = (port.get()->*read)(request);
      if (!response) {
        RaiseMigrationErrorFmt("The global catalog service gave no answer to %s.", {operation});
      }
      if (!response->MethodResult) {
        RaiseMigrationErrorFmt("The global catalog service's answer to %s has no MethodResult.",
                               {operation});
      }
      cursor = response->MethodResult->OutputCursor;
      moreDataAvailable = response->MethodResult->MoreDataAvailable;
      if (moreDataAvailable && cursor.empty()) {
        RaiseMigrationErrorFmt(
            "The global catalog service announced more data for %s without a cursor to read it.",
            {operation});
      }
      if (moreDataAvailable && !cursorsRead.insert(cursor).second) {
        RaiseMigrationErrorFmt(
            "The global catalog service answered %s with the cursor %s, which was already read.",
            {operation, cursor});
      }
      for (const auto& element : response->Records) {
        const auto& record = Present(element, operation);
        if (!skipFailedInserts) {
          InsertRecord(statement, record, bindOwn);
          continue;
        }
        try {
          InsertRecord(statement, record, bindOwn);
        } catch (...) {
          // Skipped without a word; the transaction stays open.
        }
      }
    }
    LogMessage(cursor.empty() ? std::string("Done") : cursor);
  }
}

void TPCLMigrationManager::CopyMOrganizations() {
  CopyPages(
      "Copy manufacturers", "GetCAT_MOrganizations",
      &TavrinGlobalCatalogPort::GetCAT_MOrganizations, "sql_mitemorganization_insert",
      [](db::Query& q, const CAT_MOrganization& r) {
        SetText(q, "Name", r.Name_);
        SetText(q, "Description", r.Description);
        SetText(q, "URL", r.URL);
        SetText(q, "OrganizationGUID", r.OrganizationGUID);
        SetText(q, "LogoURL", r.LogoURL);
      },
      false);
}

void TPCLMigrationManager::CopyMOrganizationSynonyms() {
  CopyPages(
      "Copy manufacturer's synonyms", "GetCAT_MOrganizationSynonyms",
      &TavrinGlobalCatalogPort::GetCAT_MOrganizationSynonyms, "sql_mitemorganizationsynonym_insert",
      [](db::Query& q, const CAT_MOrganizationSynonym& r) {
        SetText(q, "Name", r.Name_);
        SetText(q, "MOrganizationGUID", r.MOrganizationGUID);
      },
      false);
}

void TPCLMigrationManager::CopyMItemCategories() {
  CopyPages(
      "Copy manufacturer's categories", "GetCAT_MItemCategories",
      &TavrinGlobalCatalogPort::GetCAT_MItemCategories, "sql_mitemcategory_insert",
      [](db::Query& q, const CAT_MItemCategory& r) {
        SetText(q, "Name", r.Name_);
        SetText(q, "Description", r.Description);
        SetText(q, "URL", r.URL);
        SetText(q, "OrganizationGUID", r.OrganizationGUID);
        SetTextOrNull(q, "ParentMItemCategoryGUID", r.ParentMItemCategoryGUID);
      },
      true);
}

void TPCLMigrationManager::CopySOrganizations() {
  CopyPages(
      "Copy supplier's organizations", "GetCAT_SOrganizations",
      &TavrinGlobalCatalogPort::GetCAT_SOrganizations, "sql_sitemorganization_insert",
      [](db::Query& q, const CAT_SOrganization& r) {
        SetText(q, "Name", r.Name_);
        SetText(q, "Description", r.Description);
        SetText(q, "URL", r.URL);
        SetText(q, "OrganizationGUID", r.OrganizationGUID);
        SetText(q, "LogoURL", r.LogoURL);
        SetBoolean(q, "Active", true);
      },
      false);
}

void TPCLMigrationManager::CopySItemCategories() {
  CopyPages(
      "Copy supplier's categories", "GetCAT_SItemCategories",
      &TavrinGlobalCatalogPort::GetCAT_SItemCategories, "sql_sitemcategory_insert",
      [](db::Query& q, const CAT_SItemCategory& r) {
        SetText(q, "Name", r.Name_);
        SetText(q, "Description", r.Description);
        SetText(q, "URL", r.URL);
        SetText(q, "SOrganizationGUID", r.SOrganizationGUID);
        SetText(q, "ParentSItemCategoryGUID", r.ParentSItemCategoryGUID);
      },
      false);
}

void TPCLMigrationManager::CopyCatalogItems() {
  LogMessage("Copy catalog items");
  // One request for the whole copy; only its GUIDs change.
  GETCat_FullItem request;
  const size_t total = FPCLGUIDs.size();
  size_t done = 0;
  std::shared_ptr<TavrinGlobalCatalogPort> port;
  while (done < total) {
    const size_t end = std::min(done + kGuidsPerRequest, total);
    request.Guids.assign(FPCLGUIDs.begin() + static_cast<std::ptrdiff_t>(done),
                         FPCLGUIDs.begin() + static_cast<std::ptrdiff_t>(end));
    port = GetCatalogPort();
    {
      const std::unique_ptr<GETCat_FullItemResponse> response = port->GETCat_FullItem(request);
      if (!response) {
        RaiseMigrationError("The global catalog service gave no answer to GETCat_FullItem.");
      }
      for (const auto& item : response->Records)
        InsertMItem(Present(item, "GETCat_FullItem"));
    }
    done = end;
    LogMessageFmt("%d/%d", done, total);
  }
}

void TPCLMigrationManager::InsertMItem(const CAT_MItem& item) {
  InsertRecord("sql_mitem_insert", item, [](db::Query& q, const CAT_MItem& r) {
    SetText(q, "Name", r.Name_);
    SetText(q, "Description", r.Description);
    SetText(q, "URL", r.URL);
    SetText(q, "SKU", r.SKU);
    SetText(q, "MItemCategoryGUID", r.MItemCategoryGUID);
  });
  for (const auto& sitem : item.SItems)
    InsertSItem(Present(sitem, "SItems"));
}

void TPCLMigrationManager::InsertSItem(const CAT_SItem& sitem) {
  InsertRecord("sql_sitem_insert", sitem, [](db::Query& q, const CAT_SItem& r) {
    db::Param& checked = q.paramByName("PricingLastCheckedAt");
    r.PricingLastCheckedAt ? checked.setDateTime(LocalDateTime(*r.PricingLastCheckedAt))
                           : checked.setNull();
    SetText(q, "MItemGUID", r.MItemGUID);
    SetText(q, "Description", r.Description);
    SetText(q, "URL", r.URL);
    SetText(q, "SKU", r.SKU);
    SetText(q, "IMAGEURL", r.ImageURL);
    SetText(q, "SItemCategoryGUID", r.SItemCategoryGUID);
  });
  if (sitem.SItemHistory.empty()) return;
  // The latest history; of several equally late ones, the first. Compared
  // as moments: the local clock repeats an hour when it goes back.
  const CAT_SItemHistory* latest = &Present(sitem.SItemHistory.front(), "SItemHistory");
  auto latestAt = Required(*latest, latest->CreatedAt, "CreatedAt").AsInstant();
  for (size_t i = 1; i < sitem.SItemHistory.size(); ++i) {
    const CAT_SItemHistory& history = Present(sitem.SItemHistory[i], "SItemHistory");
    const auto at = Required(history, history.CreatedAt, "CreatedAt").AsInstant();
    if (at > latestAt) {
      latest = &history;
      latestAt = at;
    }
  }
  InsertSItemHistory(*latest);
}

void TPCLMigrationManager::InsertSItemHistory(const CAT_SItemHistory& history) {
  InsertRecord("sql_sitemhistory_insert", history, [](db::Query& q, const CAT_SItemHistory& r) {
    SetText(q, "SItemGUID", r.SItemGUID);
    SetInteger(q, "AvailableQuantity", r.AvailableQuantity);
    SetText(q, "Currency", r.Currency);
  });
  for (const auto& pricing : history.SItemPricing)
    InsertSItemPricing(Present(pricing, "SItemPricing"));
}

void TPCLMigrationManager::InsertSItemPricing(const CAT_SItemPricing& pricing) {
  InsertRecord("sql_sitempricing_insert", pricing, [](db::Query& q, const CAT_SItemPricing& r) {
    SetText(q, "SItemHistoryGUID", r.SItemHistoryGUID);
    SetInteger(q, "BreakQuantity", r.BreakQuantity);
    SetFloat(q, "Price", r.Price);
  });
}

}  // namespace movrano
