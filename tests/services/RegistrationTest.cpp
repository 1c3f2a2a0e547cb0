#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Text.h"
#include "services/IDS.h"
#include "services/ServiceEndpoints.h"
#include "services/TavrinGlobalCatalog.h"
#include "services/soap/Errors.h"
#include "services/soap/Registries.h"

namespace movrano {
namespace {

using soap::kXmlSchemaNamespace;

// Both units registered into a fresh pair of registries, in start-up order.
class ServiceRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIDSTypes(registries);
    RegisterTavrinGlobalCatalogTypes(registries);
  }
  soap::Registries registries;
  const std::string ns = kTavrinServicesNamespace;
};

TEST_F(ServiceRegistration, RegistersEveryClassAndArrayOfBothUnits) {
  // Identity: 18 classes, 2 headers, 6 arrays. Catalog: 22 classes, 100
  // wrappers, 2 headers, 18 arrays.
  EXPECT_EQ(registries.types.ClassCount(), 20u + 124u);
  EXPECT_EQ(registries.types.ArrayCount(), 6u + 18u);
  for (const char* name :
       {"IDS_User", "IDS_CreateUser", "_IDS_UserList", "TLU_NestedResult",
        "_TLU_EditResultListList", "CAT_PricingDetail", "_CAT_BatchedItemList", "GETCat_FullItem",
        "GETCat_FullItemResponse", "UpsertCAT_SupplierInformationResponse"})
    EXPECT_TRUE(registries.types.FindByXmlName(ns, name)) << name;
}

TEST_F(ServiceRegistration, KeepsSameNamedEntriesOfTheTwoUnitsApart) {
  for (const char* header : {"APIVersion", "SessionID"})
    EXPECT_EQ(registries.types.CountByXmlName(kXmlSchemaNamespace, header), 2u) << header;
  EXPECT_EQ(registries.types.CountByXmlName(ns, "_StringList"), 2u);
  // A lookup by name finds the first registered: the identity unit's.
  EXPECT_EQ(registries.types.FindByXmlName(kXmlSchemaNamespace, "APIVersion").cls->type,
            std::type_index(typeid(IDS::APIVersion)));
  EXPECT_NE(registries.types.FindClass(typeid(TavrinGlobalCatalog::APIVersion)), nullptr);
}

TEST_F(ServiceRegistration, GivesEachInterfaceItsOptionsActionsAndHeaders) {
  const soap::InterfaceEntry* ids = registries.interfaces.Find(typeid(IDSPort));
  const soap::InterfaceEntry* tgc = registries.interfaces.Find(typeid(TavrinGlobalCatalogPort));
  ASSERT_TRUE(ids && tgc);
  EXPECT_EQ(ids->invokeOptions, unsigned{soap::ioDocument});
  EXPECT_EQ(tgc->invokeOptions, unsigned{soap::ioDocument | soap::ioLiteral});
  for (const soap::InterfaceEntry* e : {ids, tgc}) {
    EXPECT_EQ(e->xmlNamespace, ns);
    EXPECT_EQ(e->wsdlEncoding, "utf-8");
    ASSERT_EQ(e->headers.size(), 2u);
    EXPECT_EQ(e->headers[0].name, "APIVersion");
    EXPECT_EQ(e->headers[1].name, "SessionID");
    EXPECT_EQ(e->headers[0].xmlNamespace, kXmlSchemaNamespace);
    EXPECT_FALSE(e->headers[0].required);
  }
  EXPECT_EQ(ids->SOAPActionFor("QueryUsersDetails"), "QueryUsersDetails");
  EXPECT_EQ(tgc->SOAPActionFor("GETCat_FullItem"), "GETCat_FullItem");
  EXPECT_EQ(ids->headers[0].cls, std::type_index(typeid(IDS::APIVersion)));
  EXPECT_EQ(tgc->headers[1].cls, std::type_index(typeid(TavrinGlobalCatalog::SessionID)));
  EXPECT_EQ(tgc->paramNames.size(), 50u);
  EXPECT_EQ(tgc->ExternalParamName("GetCAT_MItems", "parameters1"), "parameters");
  EXPECT_TRUE(ids->paramNames.empty());
}

TEST_F(ServiceRegistration, MarksEveryWrapperAsALiteralParameterAndNothingElse) {
  size_t wrappers = 0;
  for (std::string_view op : TavrinGlobalCatalogOperations())
    for (const std::string& name : {std::string(op), std::string(op) + "Response"}) {
      const soap::ClassEntry* entry = registries.types.FindByXmlName(ns, name).cls;
      ASSERT_NE(entry, nullptr) << name;
      EXPECT_EQ(entry->options, unsigned{soap::xoLiteralParam}) << name;
      // Made through the class reference, as the reader makes responses.
      EXPECT_EQ(entry->create()->serializationOptions, unsigned{soap::xoLiteralParam}) << name;
      ++wrappers;
    }
  EXPECT_EQ(wrappers, 100u);
  EXPECT_EQ(GetCAT_MOrganizations().serializationOptions, unsigned{soap::xoLiteralParam});
  EXPECT_EQ(registries.types.FindClass(typeid(CAT_MItem))->options, 0u);
  EXPECT_EQ(registries.types.FindClass(typeid(IDS::SessionID))->options,
            unsigned{soap::xoSimpleTypeWrapper});
}

TEST_F(ServiceRegistration, MapsExactlyThePropertiesWithATrailingUnderscore) {
  const auto xmlName = [&](std::type_index cls, const char* property) {
    const soap::ClassEntry& entry = *registries.types.FindClass(cls);
    for (const soap::PropertyInfo& p : entry.properties)
      if (p.name == property) return registries.types.XmlPropertyName(entry, p);
    return std::string("<no such property>");
  };
  EXPECT_EQ(xmlName(typeid(IDS_Parameter), "Name_"), "Name");
  EXPECT_EQ(xmlName(typeid(TLU_EditResult), "Message_"), "Message");  // inherited
  EXPECT_EQ(xmlName(typeid(CAT_MItem), "Name_"), "Name");
  EXPECT_EQ(xmlName(typeid(CAT_SOrganization), "Name_"), "Name");
  EXPECT_EQ(xmlName(typeid(CAT_SItem), "organizationName"), "organizationName");
  EXPECT_EQ(xmlName(typeid(CAT_MItemDetail), "MItem_Name"), "MItem_Name");
}

TEST_F(ServiceRegistration, ListsTheCatalogOperationsInCaseInsensitiveOrder) {
  const auto& ops = TavrinGlobalCatalogOperations();
  for (size_t i = 1; i < ops.size(); ++i)
    EXPECT_LT(CompareText(ops[i - 1], ops[i]), 0) << ops[i - 1] << " / " << ops[i];
  EXPECT_EQ(std::set<std::string_view>(ops.begin(), ops.end()).size(), 50u);
  EXPECT_EQ(ops[0], "AddCAT_MItemCategories");
  EXPECT_EQ(ops[18], "GETCat_FullItem");
  EXPECT_EQ(ops[33], "KeywordSearchCAT_MItems");
  EXPECT_EQ(ops[49], "UpsertCAT_SupplierInformation");
}

TEST_F(ServiceRegistration, RunningItAgainChangesNothing) {
  RegisterIDSTypes(registries);
  RegisterTavrinGlobalCatalogTypes(registries);
  EXPECT_EQ(registries.types.ClassCount(), 144u);
  EXPECT_EQ(registries.types.ArrayCount(), 24u);
  EXPECT_EQ(registries.interfaces.Find(typeid(IDSPort))->headers.size(), 2u);
  EXPECT_EQ(registries.interfaces.Find(typeid(TavrinGlobalCatalogPort))->paramNames.size(), 50u);
}

TEST(SoapRegistries, DropEntriesForInterfacesAndClassesNotYetRegistered) {
  soap::Registries r;
  r.types.RegisterExternalPropName(typeid(IDS_Parameter), "Name_", "Name");
  r.types.RegisterSerializeOptions(typeid(IDS_Parameter), soap::xoLiteralParam);
  r.types.RegisterXSClass<IDS_Parameter>("urn:t", "IDS_Parameter");
  const soap::ClassEntry& entry = *r.types.FindClass(typeid(IDS_Parameter));
  EXPECT_EQ(r.types.XmlPropertyName(entry, entry.properties[0]), "Name_");
  EXPECT_EQ(entry.options, 0u);

  r.interfaces.RegisterInvokeOptions(typeid(IDSPort), soap::ioLiteral);
  r.interfaces.RegisterHeaderClass(typeid(IDSPort), typeid(IDS::APIVersion), "APIVersion", "urn:x");
  r.interfaces.RegisterInterface(typeid(IDSPort), "urn:t", "utf-8");
  EXPECT_EQ(r.interfaces.Find(typeid(IDSPort))->invokeOptions, 0u);
  EXPECT_TRUE(r.interfaces.Find(typeid(IDSPort))->headers.empty());
}

TEST(SoapRegistries, ACastToAnUnregisteredInterfaceFailsAndLeavesTheGivenClient) {
  soap::Registries empty;
  auto client = std::make_shared<soap::HTTPRIO>(empty);
  EXPECT_THROW(GetIDSPort(false, "", client), soap::EIntfCastError);
  EXPECT_THROW(GetTavrinGlobalCatalogPort(false, "", client), soap::EIntfCastError);
  EXPECT_EQ(client.use_count(), 1);

  RegisterIDSTypes(empty);
  auto second = std::make_shared<soap::HTTPRIO>(empty);
  EXPECT_NE(GetIDSPort(false, "", second), nullptr);
}

}  // namespace
}  // namespace movrano
