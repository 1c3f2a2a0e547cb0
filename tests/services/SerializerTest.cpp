#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "services/IDS.h"
#include "services/TavrinGlobalCatalog.h"
#include "services/soap/Errors.h"
#include "services/soap/Registries.h"
#include "services/soap/Serializer.h"
#include "support/services/HeapBlocks.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

using soap::XSDateTime;

class SoapSerializer : public ::testing::Test {
 protected:
  void SetUp() override { testing::RegisterServiceTypesOnce(); }

  const soap::Serializer serializer{soap::GlobalRegistries().types};

  std::string Write(const soap::Remotable& object) const {
    soap::XmlWriter w;
    w.Start("root");
    w.Attribute("xmlns:xsi", soap::kXmlSchemaInstanceNamespace);
    serializer.WriteObject(w, "object", &object);
    w.End();
    return w.Finish();
  }

  template <class T>
  std::unique_ptr<T> Read(const std::string& xml) const {
    const soap::XmlDocument doc = soap::XmlDocument::Parse(xml);
    return soap::detail::Downcast<T>(
        serializer.ReadObject(soap::ChildNamed(doc.Root(), "object"), typeid(T)));
  }

  template <class T>
  std::unique_ptr<T> RoundTrip(const T& object) const {
    return Read<T>(Write(object));
  }

  // Local names of the object element's children, in order.
  static std::vector<std::string> ElementNames(const std::string& xml) {
    const soap::XmlDocument doc = soap::XmlDocument::Parse(xml);
    std::vector<std::string> names;
    const soap::XmlNode object = soap::ChildNamed(doc.Root(), "object");
    for (soap::XmlNode n = soap::FirstChildElement(object); n; n = soap::NextElement(n))
      names.emplace_back(soap::LocalName(n));
    return names;
  }
};

TEST_F(SoapSerializer, WritesBasePropertiesFirstUnderTheirXmlNames) {
  EXPECT_EQ(ElementNames(Write(CAT_SItemDetail())),
            (std::vector<std::string>{"GUID",
                                      "HRID",
                                      "CreatedAt",
                                      "LastModifiedAt",
                                      "CreatedByGUID",
                                      "LastModifiedByGUID",
                                      "CreatedByName",
                                      "LastModifiedByName",
                                      "MItem_GUID",
                                      "MItem_Name",
                                      "MItem_SKU",
                                      "MItem_Description",
                                      "MItemCategory_GUID",
                                      "MItemCategory_Name",
                                      "MOrganization_GUID",
                                      "MOrganization_Name",
                                      "SItem_GUID",
                                      "SItem_SKU",
                                      "SItem_Description",
                                      "SItemCategory_GUID",
                                      "SItemCategory_Name",
                                      "SItemCategory_Description",
                                      "SOrganization_GUID",
                                      "SOrganization_Name"}));
  const std::vector<std::string> pricing = ElementNames(Write(CAT_PricingDetail()));
  ASSERT_EQ(pricing.size(), 32u);
  EXPECT_EQ(pricing[8], "MItem_GUID");
  EXPECT_EQ(pricing[15], "MOrganization_Name");
  EXPECT_EQ(pricing[16], "SItem_GUID");
  EXPECT_EQ(pricing[31], "SItemPricing_Price");
  // The renamed property keeps its place in the order.
  EXPECT_EQ(ElementNames(Write(CAT_MOrganizationSynonym())).at(9), "Name");
  EXPECT_EQ(ElementNames(Write(TLU_EditResultList())),
            (std::vector<std::string>{"Message", "Success", "Results"}));
}

TEST_F(SoapSerializer, WritesEachWrapperShapeInItsOrder) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(ElementNames(Write(KeywordSearchCAT_MItems())),
            (Names{"SearchText", "Options", "Filter", "InputCursor"}));
  EXPECT_EQ(ElementNames(Write(GETCAT_PricingDetailsResponse())),
            (Names{"Records", "DebugLog", "MethodResult"}));
  EXPECT_EQ(ElementNames(Write(GetCAT_StatisticsResponse())),
            (Names{"CountMItems", "CountSItems", "MethodResult"}));
  EXPECT_EQ(ElementNames(Write(GetItemsForSync())), (Names{"Options", "SupplierGUID"}));
  EXPECT_EQ(ElementNames(Write(DeleteCAT_SItems())), (Names{"Options", "GUIDList"}));
  EXPECT_EQ(ElementNames(Write(UpsertCAT_SItemResponse())), (Names{"Item", "MethodResult"}));
  EXPECT_EQ(ElementNames(Write(UpsertCAT_ManufacturedItem())).size(), 14u);
  EXPECT_EQ(ElementNames(Write(UpsertCAT_SupplierInformationResponse())),
            (Names{"BatchItems", "MethodResult", "DebugLog"}));
}

TEST_F(SoapSerializer, RenamedPropertiesTravelAndReadBackUnderTheirXmlNames) {
  TLU_GetResult result;
  result.Message_ = "inherited mapping";
  result.MoreDataAvailable = true;
  result.OutputCursor = "c-7";
  const std::string xml = Write(result);
  EXPECT_NE(xml.find("<Message>inherited mapping</Message>"), std::string::npos);
  EXPECT_EQ(xml.find("Message_"), std::string::npos);
  const auto back = RoundTrip(result);
  EXPECT_EQ(back->Message_, "inherited mapping");
  EXPECT_TRUE(back->MoreDataAvailable);
  EXPECT_EQ(back->OutputCursor, "c-7");

  const auto parameter =
      Read<IDS_Parameter>("<root><object><Name>GroupId</Name><Value>g-1</Value></object></root>");
  EXPECT_EQ(parameter->Name_, "GroupId");
  EXPECT_EQ(parameter->Value, "g-1");
}

TEST_F(SoapSerializer, RoundTripsAFullItemTreeAndFreesItWithItsOwner) {
  const long before = testing::HeapBlocksOfThisThread();
  {
    CAT_MItem item;
    item.GUID = "m-1";
    item.Name_ = "Resistor <1k> & co";
    item.CreatedAt = XSDateTime::Parse("2020-01-02T03:04:05.678Z");
    for (int s = 0; s < 2; ++s) {
      auto sitem = std::make_unique<CAT_SItem>();
      sitem->GUID = "s-" + std::to_string(s);
      sitem->PricingLastCheckedAt =
          s == 0 ? std::optional(XSDateTime::Parse("2022-02-02T00:00:00+01:00")) : std::nullopt;
      auto history = std::make_unique<CAT_SItemHistory>();
      history->AvailableQuantity = -5 + s;
      history->Currency = "EUR";
      auto pricing = std::make_unique<CAT_SItemPricing>();
      pricing->BreakQuantity = 100;
      pricing->Price = 0.1 + s;
      history->SItemPricing.push_back(std::move(pricing));
      history->SItemPricing.push_back(nullptr);
      sitem->SItemHistory.push_back(std::move(history));
      item.SItems.push_back(std::move(sitem));
    }
    const auto back = RoundTrip(item);
    EXPECT_EQ(back->GUID, "m-1");
    EXPECT_EQ(back->Name_, "Resistor <1k> & co");
    EXPECT_EQ(back->CreatedAt, item.CreatedAt);
    EXPECT_FALSE(back->LastModifiedAt.has_value());
    ASSERT_EQ(back->SItems.size(), 2u);
    EXPECT_EQ(back->SItems[0]->PricingLastCheckedAt, item.SItems[0]->PricingLastCheckedAt);
    EXPECT_FALSE(back->SItems[1]->PricingLastCheckedAt.has_value());
    // Each supplier item with one history of one price break and a nil one.
    for (const auto& sitem : back->SItems) {
      ASSERT_EQ(sitem->SItemHistory.size(), 1u);
      ASSERT_NE(sitem->SItemHistory[0], nullptr);
      ASSERT_EQ(sitem->SItemHistory[0]->SItemPricing.size(), 2u);
      EXPECT_NE(sitem->SItemHistory[0]->SItemPricing[0], nullptr);
      EXPECT_EQ(sitem->SItemHistory[0]->SItemPricing[1], nullptr);
    }
    const CAT_SItemHistory& history = *back->SItems[1]->SItemHistory.at(0);
    EXPECT_EQ(history.AvailableQuantity, -4);
    EXPECT_EQ(history.Currency, "EUR");
    EXPECT_EQ(history.SItemPricing[0]->Price, 1.1);
  }
  // Both trees went with their owners, every block of them.
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);
}

TEST_F(SoapSerializer, RoundTripsAUserWithProfileAndMemberships) {
  IDS_User user;
  user.UserId = "u-1";
  user.PrimaryAdministrator = true;
  user.Parameters = std::make_unique<IDS_Parameters>();
  auto entry = std::make_unique<IDS_Parameter>();
  entry->Name_ = "Phone";
  entry->Value = "+49 30 1234";
  user.Parameters->Records.push_back(std::move(entry));
  user.Groups = std::make_unique<IDS_Assets>();
  user.Groups->Records.push_back(std::make_unique<IDS_Parameters>());
  user.Groups->Records.push_back(nullptr);

  const auto back = RoundTrip(user);
  EXPECT_EQ(back->UserId, "u-1");
  EXPECT_TRUE(back->PrimaryAdministrator);
  ASSERT_EQ(back->Parameters->Records.size(), 1u);
  EXPECT_EQ(back->Parameters->Records[0]->Name_, "Phone");
  EXPECT_EQ(back->Parameters->Records[0]->Value, "+49 30 1234");
  ASSERT_EQ(back->Groups->Records.size(), 2u);
  EXPECT_TRUE(back->Groups->Records[0]->Records.empty());
  EXPECT_EQ(back->Groups->Records[1], nullptr);
}

TEST_F(SoapSerializer, ReadsNestedResultsOfSeveralLevelsAndRefusesEndlessNesting) {
  const auto nested = [](int levels) {
    std::string xml = "<root><object>";
    for (int i = 0; i < levels; ++i)
      xml += "<ChildrenResults><TLU_NestedResult>";
    xml +=
        "<Results><TLU_EditResultList><Results><TLU_EditResult><GUID>deep</GUID>"
        "</TLU_EditResult></Results></TLU_EditResultList></Results>";
    for (int i = 0; i < levels; ++i)
      xml += "</TLU_NestedResult></ChildrenResults>";
    return xml + "</object></root>";
  };
  const long before = testing::HeapBlocksOfThisThread();
  {
    const auto result = Read<TLU_NestedResult>(nested(3));
    const TLU_NestedResult* level = result.get();
    for (int i = 0; i < 3; ++i)
      level = level->ChildrenResults.at(0).get();
    EXPECT_EQ(level->Results.at(0)->Results.at(0)->GUID, "deep");
  }
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);
  EXPECT_THROW(Read<TLU_NestedResult>(nested(5000)), soap::ESOAPMessageError);
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);
}

TEST_F(SoapSerializer, ReadsMultiReferenceValuesWhereverAValueStands) {
  // As a SOAP 1.1 encoder sends them: the values after the body's element.
  const auto user = Read<IDS_User>(
      "<root xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'>"
      "<object><UserId href='#id0'/><Parameters href='#id1'/><Groups href='#id2'/></object>"
      "<multiRef id='id0'>u-7</multiRef>"
      "<multiRef id='id1'><Records><IDS_Parameter href='#id3'/></Records></multiRef>"
      "<multiRef id='id2'><Records href='#id4'/></multiRef>"
      "<multiRef id='id3'><Name>Phone</Name><Value>+49 30 1234</Value></multiRef>"
      "<multiRef id='id4'><IDS_Parameters href='#id5'/><IDS_Parameters href='#id5'/>"
      "<IDS_Parameters href='#id6'/></multiRef>"
      "<multiRef id='id5'><Records><IDS_Parameter><Name>GroupId</Name><Value>{G-1}</Value>"
      "</IDS_Parameter></Records></multiRef>"
      "<multiRef id='id6' xsi:nil='true'/></root>");
  EXPECT_EQ(user->UserId, "u-7");
  ASSERT_EQ(user->Parameters->Records.size(), 1u);
  EXPECT_EQ(user->Parameters->Records[0]->Name_, "Phone");
  EXPECT_EQ(user->Parameters->Records[0]->Value, "+49 30 1234");
  ASSERT_EQ(user->Groups->Records.size(), 3u);
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(user->Groups->Records[i]->Records.size(), 1u);
    EXPECT_EQ(user->Groups->Records[i]->Records[0]->Value, "{G-1}");
  }
  EXPECT_EQ(user->Groups->Records[2], nullptr);

  const auto filter = Read<IDS_UserFilter>(
      "<root><object><UserIds><string href='#a'/><string>u-2</string></UserIds></object>"
      "<multiRef id='a'>u-1</multiRef></root>");
  EXPECT_EQ(filter->UserIds, (std::vector<std::string>{"u-1", "u-2"}));
}

TEST_F(SoapSerializer, RefusesReferencesToNothingLoopsAndExplosions) {
  const long before = testing::HeapBlocksOfThisThread();
  for (const std::string& xml :
       {std::string("<root><object><Parameters href='#missing'/></object></root>"),
        std::string("<root><object><UserId href='http://elsewhere/#a'/></object></root>"),
        std::string("<root><object><Parameters href='#a'/></object>"
                    "<multiRef id='a' href='#b'/><multiRef id='b' href='#a'/></root>")}) {
    EXPECT_THROW(Read<IDS_User>(xml), soap::ESOAPMessageError) << xml;
  }
  // Each level refers twice to the next: 2^40 results from a tiny answer.
  const auto explosion = [] {
    std::string xml = "<root><object><ChildrenResults><x href='#n0'/></ChildrenResults></object>";
    for (int i = 0; i < 40; ++i) {
      const std::string next = "#n" + std::to_string(i + 1);
      xml += "<multiRef id='n" + std::to_string(i) + "'><ChildrenResults><x href='" + next +
             "'/><x href='" + next + "'/></ChildrenResults></multiRef>";
    }
    return xml + "<multiRef id='n40'/></root>";
  };
  EXPECT_THROW(Read<TLU_NestedResult>(explosion()), soap::ESOAPMessageError);
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);
}

TEST_F(SoapSerializer, LeavesMissingAndNilPropertiesAtTheirInitialValues) {
  const auto pricing = Read<CAT_SItemPricing>(
      "<root xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'><object>"
      "<Unknown>x</Unknown><BreakQuantity xsi:nil='true'/><Price> 2.5e3 </Price>"
      "<CreatedAt xsi:nil='true'/><LastModifiedAt></LastModifiedAt></object></root>");
  EXPECT_EQ(pricing->BreakQuantity, 0);
  EXPECT_EQ(pricing->Price, 2500);
  EXPECT_EQ(pricing->GUID, "");
  EXPECT_FALSE(pricing->CreatedAt.has_value());
  EXPECT_FALSE(pricing->LastModifiedAt.has_value());
}

TEST_F(SoapSerializer, RefusesValuesOfTheWrongFormNamingTheElement) {
  struct Case {
    const char* element;
    const char* text;
  };
  for (const Case c :
       {Case{"BreakQuantity", "abc"}, Case{"BreakQuantity", "2147483648"},
        Case{"BreakQuantity", "1.5"}, Case{"Price", "1,5"}, Case{"Price", "1e999"},
        Case{"BreakQuantity", "+-5"}, Case{"BreakQuantity", "+"}, Case{"Price", "+-1.5"},
        Case{"Success", "yes"}, Case{"CreatedAt", "2020-13-01T00:00:00"}}) {
    const std::string xml = std::string("<root><object><") + c.element + ">" + c.text + "</" +
                            c.element + "></object></root>";
    try {
      if (std::string(c.element) == "Success")
        Read<TLU_Result>(xml);
      else
        Read<CAT_SItemPricing>(xml);
      ADD_FAILURE() << c.element << " accepted " << c.text;
    } catch (const soap::ESOAPMessageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.element), std::string::npos) << e.what();
    }
  }
}

TEST_F(SoapSerializer, WritesSpecialDoublesInSchemaForm) {
  CAT_SItemPricing pricing;
  for (const double value : {double(INFINITY), -double(INFINITY), 1e-300, 123456789.125}) {
    pricing.Price = value;
    EXPECT_EQ(RoundTrip(pricing)->Price, value);
  }
  pricing.Price = NAN;
  EXPECT_NE(Write(pricing).find("<Price>NaN</Price>"), std::string::npos);
  EXPECT_TRUE(std::isnan(RoundTrip(pricing)->Price));
}

}  // namespace
}  // namespace movrano
