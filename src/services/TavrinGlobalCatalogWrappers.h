#pragma once
// The request and response wrapper of every catalog operation. The table
// MOVRANO_TGC_OPERATIONS lists the 50 operations in the interface's order
// (their names sorted without regard to case), each with its shape and the
// record type the shape needs; the shape macros below declare the two
// wrapper classes of an operation: the request named like the operation,
// the response with "Response" added. Every wrapper is a literal body.
#include "services/TavrinGlobalCatalogTypes.h"

// clang-format off
#define MOVRANO_TGC_OPERATIONS(X)                                             \
  X(EDIT, AddCAT_MItemCategories, CAT_MItemCategoryArray)                     \
  X(EDIT, AddCAT_MItems, CAT_MItemArray)                                      \
  X(EDIT, AddCAT_MOrganizations, CAT_MOrganizationArray)                      \
  X(EDIT, AddCAT_MOrganizationSynonyms, CAT_MOrganizationSynonymArray)        \
  X(EDIT, AddCAT_SItemCategories, CAT_SItemCategoryArray)                     \
  X(EDIT, AddCAT_SItemHistories, CAT_SItemHistoryArray)                       \
  X(EDIT, AddCAT_SItemPricings, CAT_SItemPricingArray)                        \
  X(EDIT, AddCAT_SItems, CAT_SItemArray)                                      \
  X(EDIT, AddCAT_SOrganizations, CAT_SOrganizationArray)                      \
  X(DELETE, DeleteCAT_MItemCategories, )                                      \
  X(DELETE, DeleteCAT_MItems, )                                               \
  X(DELETE, DeleteCAT_MOrganizations, )                                       \
  X(DELETE, DeleteCAT_MOrganizationSynonyms, )                                \
  X(DELETE, DeleteCAT_SItemCategories, )                                      \
  X(DELETE, DeleteCAT_SItemHistories, )                                       \
  X(DELETE, DeleteCAT_SItemPricings, )                                        \
  X(DELETE, DeleteCAT_SItems, )                                               \
  X(DELETE, DeleteCAT_SOrganizations, )                                       \
  X(ITEMS_READ, GETCat_FullItem, (soap::TextList, Guids))                     \
  X(READ, GetCAT_MItemCategories, CAT_MItemCategoryArray)                     \
  X(DETAIL, GetCAT_MItemDetails, CAT_MItemDetailArray)                        \
  X(READ, GetCAT_MItems, CAT_MItemArray)                                      \
  X(READ, GetCAT_MOrganizations, CAT_MOrganizationArray)                      \
  X(READ, GetCAT_MOrganizationSynonyms, CAT_MOrganizationSynonymArray)        \
  X(DETAIL, GETCAT_PricingDetails, CAT_PricingDetailArray)                    \
  X(READ, GetCAT_SItemCategories, CAT_SItemCategoryArray)                     \
  X(DETAIL, GetCAT_SItemDetails, CAT_SItemDetailArray)                        \
  X(READ, GetCAT_SItemHistories, CAT_SItemHistoryArray)                       \
  X(READ, GetCAT_SItemPricings, CAT_SItemPricingArray)                        \
  X(READ, GetCAT_SItems, CAT_SItemArray)                                      \
  X(READ, GetCAT_SOrganizations, CAT_SOrganizationArray)                      \
  X(STATISTICS, GetCAT_Statistics, )                                          \
  X(ITEMS_FOR_SYNC, GetItemsForSync, )                                        \
  X(ITEMS_READ, KeywordSearchCAT_MItems, (std::string, SearchText))           \
  X(EDIT, UpdateCAT_MItemCategories, CAT_MItemCategoryArray)                  \
  X(EDIT, UpdateCAT_MItems, CAT_MItemArray)                                   \
  X(EDIT, UpdateCAT_MOrganizations, CAT_MOrganizationArray)                   \
  X(EDIT, UpdateCAT_MOrganizationSynonyms, CAT_MOrganizationSynonymArray)     \
  X(EDIT, UpdateCAT_SItemCategories, CAT_SItemCategoryArray)                  \
  X(EDIT, UpdateCAT_SItemHistories, CAT_SItemHistoryArray)                    \
  X(EDIT, UpdateCAT_SItemPricings, CAT_SItemPricingArray)                     \
  X(EDIT, UpdateCAT_SItems, CAT_SItemArray)                                   \
  X(EDIT, UpdateCAT_SOrganizations, CAT_SOrganizationArray)                   \
  X(UPSERT_MANUFACTURED_ITEM, UpsertCAT_ManufacturedItem, )                   \
  X(UPSERT, UpsertCAT_SItem, CAT_SItem)                                       \
  X(UPSERT, UpsertCAT_SItemCategory, CAT_SItemCategory)                       \
  X(UPSERT, UpsertCAT_SItemHistory, CAT_SItemHistory)                         \
  X(UPSERT, UpsertCAT_SItemPricing, CAT_SItemPricing)                         \
  X(UPSERT, UpsertCAT_SOrganization, CAT_SOrganization)                       \
  X(UPSERT_SUPPLIER_INFORMATION, UpsertCAT_SupplierInformation, )

// The fields of every request that asks for a page of records.
#define MOVRANO_TGC_PAGE_REQUEST                                              \
  (soap::TextList, Options)(std::string, Filter)(std::string, InputCursor)

// Reads: a page of records by filter and cursor.
#define MOVRANO_TGC_READ(Op, RecordArray)                                     \
  MOVRANO_SOAP_WRAPPER(Op, MOVRANO_TGC_PAGE_REQUEST);                         \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (std::unique_ptr<TLU_GetResult>, MethodResult)                          \
      (RecordArray, Records));

#define MOVRANO_TGC_DETAIL(Op, RecordArray)                                   \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (soap::TextList, MItemGUIDs) MOVRANO_TGC_PAGE_REQUEST);                 \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (RecordArray, Records)                                                  \
      (std::string, DebugLog)                                                 \
      (std::unique_ptr<TLU_GetResult>, MethodResult));

// Manufacturer items: by GUID (the full item read) or by keyword.
#define MOVRANO_TGC_ITEMS_READ(Op, selection)                                 \
  MOVRANO_SOAP_WRAPPER(Op, selection MOVRANO_TGC_PAGE_REQUEST);               \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (CAT_MItemArray, Records)                                               \
      (std::unique_ptr<TLU_GetResult>, MethodResult));

#define MOVRANO_TGC_STATISTICS(Op, unused)                                    \
  MOVRANO_SOAP_WRAPPER(Op, MOVRANO_TGC_PAGE_REQUEST);                         \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (int32_t, CountMItems)                                                  \
      (int32_t, CountSItems)                                                  \
      (std::unique_ptr<TLU_GetResult>, MethodResult));

#define MOVRANO_TGC_ITEMS_FOR_SYNC(Op, unused)                                \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (soap::TextList, Options)                                               \
      (std::string, SupplierGUID));                                           \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (std::unique_ptr<TLU_GetResult>, MethodResult)                          \
      (CAT_MItemArray, Items));

// Edits: Add and Update send records, Delete GUIDs; all three answer with
// an edit result list.
#define MOVRANO_TGC_EDIT_RESPONSE(Op)                                         \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (std::unique_ptr<TLU_EditResultList>, MethodResult));

#define MOVRANO_TGC_EDIT(Op, RecordArray)                                     \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (soap::TextList, Options)                                               \
      (RecordArray, Records));                                                \
  MOVRANO_TGC_EDIT_RESPONSE(Op)

#define MOVRANO_TGC_DELETE(Op, unused)                                        \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (soap::TextList, Options)                                               \
      (soap::TextList, GUIDList));                                            \
  MOVRANO_TGC_EDIT_RESPONSE(Op)

#define MOVRANO_TGC_UPSERT(Op, Record)                                        \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (std::unique_ptr<Record>, Item)                                         \
      (soap::TextList, Options));                                             \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (std::unique_ptr<Record>, Item)                                         \
      (std::unique_ptr<TLU_EditResultList>, MethodResult));

#define MOVRANO_TGC_UPSERT_MANUFACTURED_ITEM(Op, unused)                      \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (std::string, ManufacturerHRID)                                         \
      (std::string, ManufacturerName)                                         \
      (std::string, ManufacturerDescription)                                  \
      (std::string, ManufacturerURL)                                          \
      (std::string, Category1Name)                                            \
      (std::string, Category1Description)                                     \
      (std::string, Category2Name)                                            \
      (std::string, Category2Description)                                     \
      (std::string, Category3Name)                                            \
      (std::string, Category3Description)                                     \
      (std::string, ItemSKU)                                                  \
      (std::string, ItemDescription)                                          \
      (std::string, ItemURL)                                                  \
      (soap::TextList, Options));                                             \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (std::string, Guid)                                                     \
      (std::unique_ptr<TLU_EditResultList>, MethodResult));

#define MOVRANO_TGC_UPSERT_SUPPLIER_INFORMATION(Op, unused)                   \
  MOVRANO_SOAP_WRAPPER(Op,                                                    \
      (CAT_BatchedItemArray, BatchItems)                                      \
      (soap::TextList, Options));                                             \
  MOVRANO_SOAP_WRAPPER(Op##Response,                                          \
      (CAT_BatchedItemArray, BatchItems)                                      \
      (std::unique_ptr<TLU_NestedResult>, MethodResult)                       \
      (std::string, DebugLog));
// clang-format on

#define MOVRANO_TGC_DECLARE_WRAPPERS(shape, Op, type) MOVRANO_TGC_##shape(Op, type)

namespace movrano {
MOVRANO_TGC_OPERATIONS(MOVRANO_TGC_DECLARE_WRAPPERS)
}  // namespace movrano
