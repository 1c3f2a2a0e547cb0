#pragma once
// The global catalog's result classes (TLU_) and catalog records (CAT_),
// with the array types that hold them. A derived class travels with its
// bases' properties first. Every object owns its dates, nested objects and
// array elements, and frees them with itself; texts are values.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "services/soap/Describe.h"

namespace movrano {

class TLU_EditResult;
class TLU_EditResultList;
class TLU_NestedResult;
class CAT_MOrganization;
class CAT_MOrganizationSynonym;
class CAT_MItemCategory;
class CAT_MItem;
class CAT_SOrganization;
class CAT_SItemCategory;
class CAT_SItem;
class CAT_SItemHistory;
class CAT_SItemPricing;
class CAT_BatchedSItem;
class CAT_BatchedItem;
class CAT_MItemDetail;
class CAT_SItemDetail;
class CAT_PricingDetail;

// The array types, registered as "_TLU_EditResultList", "_CAT_MItemList" and
// so on: a C++ name may not begin with an underscore and a capital, so
// "List" becomes "Array" ("_TLU_EditResultListList" is TLU_EditResultListArray).
using TLU_EditResultArray = soap::ObjectList<TLU_EditResult>;
using TLU_EditResultListArray = soap::ObjectList<TLU_EditResultList>;
using TLU_NestedResultArray = soap::ObjectList<TLU_NestedResult>;
using CAT_MOrganizationArray = soap::ObjectList<CAT_MOrganization>;
using CAT_MOrganizationSynonymArray = soap::ObjectList<CAT_MOrganizationSynonym>;
using CAT_MItemCategoryArray = soap::ObjectList<CAT_MItemCategory>;
using CAT_MItemArray = soap::ObjectList<CAT_MItem>;
using CAT_SOrganizationArray = soap::ObjectList<CAT_SOrganization>;
using CAT_SItemCategoryArray = soap::ObjectList<CAT_SItemCategory>;
using CAT_SItemArray = soap::ObjectList<CAT_SItem>;
using CAT_SItemHistoryArray = soap::ObjectList<CAT_SItemHistory>;
using CAT_SItemPricingArray = soap::ObjectList<CAT_SItemPricing>;
using CAT_BatchedSItemArray = soap::ObjectList<CAT_BatchedSItem>;
using CAT_BatchedItemArray = soap::ObjectList<CAT_BatchedItem>;
using CAT_MItemDetailArray = soap::ObjectList<CAT_MItemDetail>;
using CAT_SItemDetailArray = soap::ObjectList<CAT_SItemDetail>;
using CAT_PricingDetailArray = soap::ObjectList<CAT_PricingDetail>;

// clang-format off

// Results. Message_ travels as "Message", in every derived class too.
MOVRANO_SOAP_CLASS(TLU_Result, soap::Remotable,
    (std::string, Message_)
    (bool, Success));

// A page of a paged read: OutputCursor asks for the next page while
// MoreDataAvailable is true.
MOVRANO_SOAP_CLASS(TLU_GetResult, TLU_Result,
    (bool, MoreDataAvailable)
    (std::string, OutputCursor));

MOVRANO_SOAP_CLASS(TLU_EditResult, TLU_Result,
    (std::string, GUID));

MOVRANO_SOAP_CLASS(TLU_EditResultList, TLU_Result,
    (TLU_EditResultArray, Results));

// May nest further nested results to any depth.
MOVRANO_SOAP_CLASS(TLU_NestedResult, TLU_Result,
    (TLU_EditResultListArray, Results)
    (TLU_NestedResultArray, ChildrenResults));

// The common base of every record.
MOVRANO_SOAP_CLASS(TLU_Object, soap::Remotable,
    (std::string, GUID)
    (std::string, HRID)
    (std::optional<soap::XSDateTime>, CreatedAt)
    (std::optional<soap::XSDateTime>, LastModifiedAt)
    (std::string, CreatedByGUID)
    (std::string, LastModifiedByGUID)
    (std::string, CreatedByName)
    (std::string, LastModifiedByName));

MOVRANO_SOAP_CLASS(CAT_Record, TLU_Object, );

// Records. Name_ travels as "Name".
MOVRANO_SOAP_CLASS(CAT_MItemCategory, CAT_Record,
    (std::string, Name_)
    (std::string, Description)
    (std::string, URL)
    (std::string, OrganizationGUID)
    (std::string, ParentMItemCategoryGUID));

MOVRANO_SOAP_CLASS(CAT_MOrganization, CAT_Record,
    (std::string, OrganizationGUID)
    (std::string, Name_)
    (std::string, Description)
    (std::string, URL)
    (std::string, LogoURL)
    (CAT_MItemCategoryArray, MItemCategories));

MOVRANO_SOAP_CLASS(CAT_MOrganizationSynonym, CAT_Record,
    (std::string, MOrganizationGUID)
    (std::string, Name_));

MOVRANO_SOAP_CLASS(CAT_SItemPricing, CAT_Record,
    (std::string, SItemHistoryGUID)
    (int32_t, BreakQuantity)
    (double, Price));

MOVRANO_SOAP_CLASS(CAT_SItemHistory, CAT_Record,
    (std::string, SItemGUID)
    (int32_t, AvailableQuantity)
    (std::string, Currency)
    (CAT_SItemPricingArray, SItemPricing));

MOVRANO_SOAP_CLASS(CAT_SItem, CAT_Record,
    (std::string, SKU)
    (std::string, Description)
    (std::string, URL)
    (std::string, ImageURL)
    (std::string, MItemGUID)
    (std::string, SItemCategoryGUID)
    (std::optional<soap::XSDateTime>, PricingLastCheckedAt)
    (std::string, organizationName)
    (CAT_SItemHistoryArray, SItemHistory));

MOVRANO_SOAP_CLASS(CAT_MItem, CAT_Record,
    (std::string, Name_)
    (std::string, SKU)
    (std::string, Description)
    (std::string, URL)
    (std::string, MItemCategoryGUID)
    (std::string, OrganizationName)
    (CAT_SItemArray, SItems));

MOVRANO_SOAP_CLASS(CAT_SItemCategory, CAT_Record,
    (std::string, Name_)
    (std::string, Description)
    (std::string, URL)
    (std::string, SOrganizationGUID)
    (std::string, ParentSItemCategoryGUID));

MOVRANO_SOAP_CLASS(CAT_SOrganization, CAT_Record,
    (std::string, OrganizationGUID)
    (std::string, Name_)
    (std::string, Description)
    (std::string, URL)
    (std::string, LogoURL)
    (CAT_SItemCategoryArray, SItemCategories));

// Batch records: one manufacturer item with its supplier items.
MOVRANO_SOAP_CLASS(CAT_BatchedMItem, CAT_Record,
    (std::unique_ptr<CAT_MOrganization>, MOrganization)
    (std::unique_ptr<CAT_MItemCategory>, MItemCategory)
    (std::unique_ptr<CAT_MItem>, MItem));

MOVRANO_SOAP_CLASS(CAT_BatchedSItem, CAT_Record,
    (std::unique_ptr<CAT_SOrganization>, SOrganization)
    (std::unique_ptr<CAT_SItemCategory>, SItemCategory)
    (std::unique_ptr<CAT_SItem>, SItem)
    (std::unique_ptr<CAT_SItemHistory>, SItemHistory)
    (CAT_SItemPricingArray, SItemPricings));

MOVRANO_SOAP_CLASS(CAT_BatchedItem, CAT_Record,
    (std::unique_ptr<CAT_BatchedMItem>, BatchedMItem)
    (CAT_BatchedSItemArray, BatchedSItems));

// Flat views. The manufacturer columns, in the order both views use.
#define MOVRANO_CAT_MANUFACTURER_COLUMNS \
    (std::string, MItem_GUID)            \
    (std::string, MItem_Name)            \
    (std::string, MItem_SKU)             \
    (std::string, MItem_Description)     \
    (std::string, MItemCategory_GUID)    \
    (std::string, MItemCategory_Name)    \
    (std::string, MOrganization_GUID)    \
    (std::string, MOrganization_Name)

MOVRANO_SOAP_CLASS(CAT_MItemDetail, CAT_Record, MOVRANO_CAT_MANUFACTURER_COLUMNS);

MOVRANO_SOAP_CLASS(CAT_SItemDetail, CAT_MItemDetail,
    (std::string, SItem_GUID)
    (std::string, SItem_SKU)
    (std::string, SItem_Description)
    (std::string, SItemCategory_GUID)
    (std::string, SItemCategory_Name)
    (std::string, SItemCategory_Description)
    (std::string, SOrganization_GUID)
    (std::string, SOrganization_Name));

// Declares the manufacturer columns itself rather than deriving from
// CAT_MItemDetail.
MOVRANO_SOAP_CLASS(CAT_PricingDetail, CAT_Record,
    MOVRANO_CAT_MANUFACTURER_COLUMNS
    (std::string, SItem_GUID)
    (std::string, SItem_SKU)
    (std::string, SItem_Description)
    (std::optional<soap::XSDateTime>, SItem_PricingLastCheckedAt)
    (std::string, SItemCategory_GUID)
    (std::string, SItemCategory_Name)
    (std::string, SItemCategory_Description)
    (std::string, SOrganization_GUID)
    (std::string, SOrganization_Name)
    (std::string, SItemHistory_GUID)
    (std::optional<soap::XSDateTime>, SItemHistory_CreatedAt)
    (std::optional<soap::XSDateTime>, SItemHistory_LastModifiedAt)
    (int32_t, SItemHistory_AvailableQuantity)
    (std::string, SItemPricing_GUID)
    (int32_t, SItemPricing_BreakQuantity)
    (double, SItemPricing_Price));

// clang-format on

}  // namespace movrano
