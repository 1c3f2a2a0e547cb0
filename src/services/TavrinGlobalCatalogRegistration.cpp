// The global catalog's entries in the SOAP layer's registries, in the order
// the layer expects: an entry that belongs to an interface or class comes
// after the interface or class itself.
#include "services/ServiceEndpoints.h"
#include "services/ServiceUnits.h"
#include "services/TavrinGlobalCatalog.h"
#include "services/soap/Registries.h"

namespace movrano {
namespace {

// One descriptor per array type, so that this unit's "_StringList" stays
// its own entry beside the identity unit's.
const soap::ArrayInfo kEditResultList = soap::ArrayOf<TLU_EditResult>();
const soap::ArrayInfo kEditResultListList = soap::ArrayOf<TLU_EditResultList>();
const soap::ArrayInfo kNestedResultList = soap::ArrayOf<TLU_NestedResult>();
const soap::ArrayInfo kBatchedSItemList = soap::ArrayOf<CAT_BatchedSItem>();
const soap::ArrayInfo kSItemPricingList = soap::ArrayOf<CAT_SItemPricing>();
const soap::ArrayInfo kSItemList = soap::ArrayOf<CAT_SItem>();
const soap::ArrayInfo kMItemCategoryList = soap::ArrayOf<CAT_MItemCategory>();
const soap::ArrayInfo kSItemHistoryList = soap::ArrayOf<CAT_SItemHistory>();
const soap::ArrayInfo kSItemCategoryList = soap::ArrayOf<CAT_SItemCategory>();
const soap::ArrayInfo kBatchedItemList = soap::ArrayOf<CAT_BatchedItem>();
const soap::ArrayInfo kMItemDetailList = soap::ArrayOf<CAT_MItemDetail>();
const soap::ArrayInfo kMItemList = soap::ArrayOf<CAT_MItem>();
const soap::ArrayInfo kMOrganizationList = soap::ArrayOf<CAT_MOrganization>();
const soap::ArrayInfo kMOrganizationSynonymList = soap::ArrayOf<CAT_MOrganizationSynonym>();
const soap::ArrayInfo kPricingDetailList = soap::ArrayOf<CAT_PricingDetail>();
const soap::ArrayInfo kSItemDetailList = soap::ArrayOf<CAT_SItemDetail>();
const soap::ArrayInfo kSOrganizationList = soap::ArrayOf<CAT_SOrganization>();
const soap::ArrayInfo kStringList = soap::ArrayOf<std::string>();

}  // namespace

void RegisterTavrinGlobalCatalogTypes(soap::Registries& registries) {
  soap::InvokableRegistry& intf = registries.interfaces;
  soap::RemotableTypeRegistry& types = registries.types;
  const std::string ns = kTavrinServicesNamespace;
  const std::type_index port = typeid(TavrinGlobalCatalogPort);

  intf.RegisterInterface(port, ns, "utf-8");
  intf.RegisterDefaultSOAPAction(port, "%operationName%");
  intf.RegisterInvokeOptions(port, soap::ioDocument);
  intf.RegisterInvokeOptions(port, soap::ioLiteral);
  services::RegisterHeaderClasses<TavrinGlobalCatalog::APIVersion, TavrinGlobalCatalog::SessionID>(
      intf, port);
  for (std::string_view operation : TavrinGlobalCatalogOperations())
    intf.RegisterExternalParamName(port, std::string(operation), "parameters1", "parameters");

  const auto named = [&](std::type_index cls) {
    types.RegisterExternalPropName(cls, "Name_", "Name");
  };
  types.RegisterXSInfo(kEditResultList, ns, "_TLU_EditResultList");
  types.RegisterXSClass<TLU_Result>(ns, "TLU_Result");
  types.RegisterExternalPropName(typeid(TLU_Result), "Message_", "Message");
  types.RegisterXSClass<TLU_GetResult>(ns, "TLU_GetResult");
  types.RegisterXSClass<TLU_EditResultList>(ns, "TLU_EditResultList");
  types.RegisterXSClass<TLU_EditResult>(ns, "TLU_EditResult");
  types.RegisterXSInfo(kEditResultListList, ns, "_TLU_EditResultListList");
  types.RegisterXSInfo(kNestedResultList, ns, "_TLU_NestedResultList");
  types.RegisterXSClass<TLU_NestedResult>(ns, "TLU_NestedResult");
  types.RegisterXSClass<TLU_Object>(ns, "TLU_Object");
  types.RegisterXSClass<CAT_Record>(ns, "CAT_Record");
  types.RegisterXSClass<CAT_BatchedMItem>(ns, "CAT_BatchedMItem");
  types.RegisterXSInfo(kBatchedSItemList, ns, "_CAT_BatchedSItemList");
  types.RegisterXSClass<CAT_BatchedItem>(ns, "CAT_BatchedItem");
  types.RegisterXSClass<CAT_MItemCategory>(ns, "CAT_MItemCategory");
  named(typeid(CAT_MItemCategory));
  types.RegisterXSClass<CAT_SItemCategory>(ns, "CAT_SItemCategory");
  named(typeid(CAT_SItemCategory));
  types.RegisterXSInfo(kSItemPricingList, ns, "_CAT_SItemPricingList");
  types.RegisterXSClass<CAT_BatchedSItem>(ns, "CAT_BatchedSItem");
  types.RegisterXSInfo(kSItemList, ns, "_CAT_SItemList");
  types.RegisterXSClass<CAT_MItem>(ns, "CAT_MItem");
  named(typeid(CAT_MItem));
  types.RegisterXSClass<CAT_MItemDetail>(ns, "CAT_MItemDetail");
  types.RegisterXSInfo(kMItemCategoryList, ns, "_CAT_MItemCategoryList");
  types.RegisterXSClass<CAT_MOrganization>(ns, "CAT_MOrganization");
  named(typeid(CAT_MOrganization));
  types.RegisterXSClass<CAT_MOrganizationSynonym>(ns, "CAT_MOrganizationSynonym");
  named(typeid(CAT_MOrganizationSynonym));
  types.RegisterXSClass<CAT_SItemHistory>(ns, "CAT_SItemHistory");
  types.RegisterXSClass<CAT_PricingDetail>(ns, "CAT_PricingDetail");
  types.RegisterXSInfo(kSItemHistoryList, ns, "_CAT_SItemHistoryList");
  types.RegisterXSClass<CAT_SItem>(ns, "CAT_SItem");
  types.RegisterXSClass<CAT_SItemDetail>(ns, "CAT_SItemDetail");
  types.RegisterXSClass<CAT_SItemPricing>(ns, "CAT_SItemPricing");
  types.RegisterXSInfo(kSItemCategoryList, ns, "_CAT_SItemCategoryList");
  types.RegisterXSClass<CAT_SOrganization>(ns, "CAT_SOrganization");
  named(typeid(CAT_SOrganization));
  types.RegisterXSInfo(kBatchedItemList, ns, "_CAT_BatchedItemList");
  types.RegisterXSInfo(kMItemDetailList, ns, "_CAT_MItemDetailList");
  types.RegisterXSInfo(kMItemList, ns, "_CAT_MItemList");
  types.RegisterXSInfo(kMOrganizationList, ns, "_CAT_MOrganizationList");
  types.RegisterXSInfo(kMOrganizationSynonymList, ns, "_CAT_MOrganizationSynonymList");
  types.RegisterXSInfo(kPricingDetailList, ns, "_CAT_PricingDetailList");
  types.RegisterXSInfo(kSItemDetailList, ns, "_CAT_SItemDetailList");
  types.RegisterXSInfo(kSOrganizationList, ns, "_CAT_SOrganizationList");
  types.RegisterXSInfo(kStringList, ns, "_StringList");

#define MOVRANO_TGC_REGISTER_WRAPPERS(shape, Op, type)              \
  types.RegisterXSClass<Op>(ns, #Op);                               \
  types.RegisterSerializeOptions(typeid(Op), soap::xoLiteralParam); \
  types.RegisterXSClass<Op##Response>(ns, #Op "Response");          \
  types.RegisterSerializeOptions(typeid(Op##Response), soap::xoLiteralParam);
  MOVRANO_TGC_OPERATIONS(MOVRANO_TGC_REGISTER_WRAPPERS)
#undef MOVRANO_TGC_REGISTER_WRAPPERS

  services::RegisterHeaderTypes<TavrinGlobalCatalog::APIVersion, TavrinGlobalCatalog::SessionID>(
      types);
}

}  // namespace movrano
