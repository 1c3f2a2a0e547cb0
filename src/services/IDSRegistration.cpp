// The identity service's entries in the SOAP layer's registries, in the
// order the layer expects: an entry that belongs to an interface or class
// comes after the interface or class itself.
#include "services/IDS.h"
#include "services/ServiceEndpoints.h"
#include "services/ServiceUnits.h"
#include "services/soap/Registries.h"

namespace movrano {
namespace {

// One descriptor per array type, so that this unit's "_StringList" stays
// its own entry beside the catalog's.
const soap::ArrayInfo kStringList = soap::ArrayOf<std::string>();
const soap::ArrayInfo kParametersList = soap::ArrayOf<IDS_Parameters>();
const soap::ArrayInfo kParameterList = soap::ArrayOf<IDS_Parameter>();
const soap::ArrayInfo kAccountList = soap::ArrayOf<IDS_Account>();
const soap::ArrayInfo kAppInstanceList = soap::ArrayOf<IDS_AppInstance>();
const soap::ArrayInfo kUserList = soap::ArrayOf<IDS_User>();

}  // namespace

void RegisterIDSTypes(soap::Registries& registries) {
  soap::InvokableRegistry& intf = registries.interfaces;
  soap::RemotableTypeRegistry& types = registries.types;
  const std::string ns = kTavrinServicesNamespace;
  const std::type_index port = typeid(IDSPort);

  intf.RegisterInterface(port, ns, "utf-8");
  intf.RegisterDefaultSOAPAction(port, "%operationName%");
  intf.RegisterInvokeOptions(port, soap::ioDocument);
  services::RegisterHeaderClasses<IDS::APIVersion, IDS::SessionID>(intf, port);

  types.RegisterXSClass<IDS_Account>(ns, "IDS_Account");
  types.RegisterXSInfo(kStringList, ns, "_StringList");
  types.RegisterXSClass<IDS_AccountFilter>(ns, "IDS_AccountFilter");
  types.RegisterXSClass<IDS_AppInstance>(ns, "IDS_AppInstance");
  types.RegisterXSInfo(kParametersList, ns, "_IDS_ParametersList");
  types.RegisterXSClass<IDS_Assets>(ns, "IDS_Assets");
  types.RegisterXSClass<IDS_User>(ns, "IDS_User");
  types.RegisterXSClass<IDS_CreateUser>(ns, "IDS_CreateUser");
  types.RegisterXSClass<IDS_GroupFilter>(ns, "IDS_GroupFilter");
  types.RegisterXSClass<IDS_GroupMembershipFilter>(ns, "IDS_GroupMembershipFilter");
  types.RegisterXSClass<IDS_LoginResult>(ns, "IDS_LoginResult");
  types.RegisterXSClass<IDS_Parameter>(ns, "IDS_Parameter");
  types.RegisterExternalPropName(typeid(IDS_Parameter), "Name_", "Name");
  types.RegisterXSInfo(kParameterList, ns, "_IDS_ParameterList");
  types.RegisterXSClass<IDS_Parameters>(ns, "IDS_Parameters");
  types.RegisterXSInfo(kAccountList, ns, "_IDS_AccountList");
  types.RegisterXSClass<IDS_QueryAccounts>(ns, "IDS_QueryAccounts");
  types.RegisterXSInfo(kAppInstanceList, ns, "_IDS_AppInstanceList");
  types.RegisterXSClass<IDS_QueryAppInstances>(ns, "IDS_QueryAppInstances");
  types.RegisterXSClass<IDS_QueryGroupMemberships>(ns, "IDS_QueryGroupMemberships");
  types.RegisterXSClass<IDS_QueryGroups>(ns, "IDS_QueryGroups");
  types.RegisterXSInfo(kUserList, ns, "_IDS_UserList");
  types.RegisterXSClass<IDS_QueryUsers>(ns, "IDS_QueryUsers");
  types.RegisterXSClass<IDS_Users>(ns, "IDS_Users");
  types.RegisterXSClass<IDS_UserFilter>(ns, "IDS_UserFilter");

  services::RegisterHeaderTypes<IDS::APIVersion, IDS::SessionID>(types);
}

}  // namespace movrano
