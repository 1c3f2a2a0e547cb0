#pragma once
// The record classes and array types of the identity service. A record
// owns what it refers to: freeing it frees its dates, nested records and
// every element of its arrays; a caller keeps an element by moving it out
// of its slot first. Texts and text lists are values.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "services/soap/Describe.h"

namespace movrano {

// clang-format off

class IDS_Parameter;
class IDS_Parameters;
class IDS_User;
class IDS_Account;
class IDS_AppInstance;

// The array types, registered as "_IDS_ParameterList" and so on: a C++ name
// may not begin with an underscore and a capital, so "List" becomes "Array".
using IDS_ParameterArray = soap::ObjectList<IDS_Parameter>;
using IDS_ParametersArray = soap::ObjectList<IDS_Parameters>;
using IDS_UserArray = soap::ObjectList<IDS_User>;
using IDS_AccountArray = soap::ObjectList<IDS_Account>;
using IDS_AppInstanceArray = soap::ObjectList<IDS_AppInstance>;

// One name/value entry; Name_ travels as "Name".
MOVRANO_SOAP_CLASS(IDS_Parameter, soap::Remotable,
    (std::string, Name_)
    (std::string, Value));

// A name/value list: a user's profile fields, or one group membership.
MOVRANO_SOAP_CLASS(IDS_Parameters, soap::Remotable,
    (IDS_ParameterArray, Records));

// A list of name/value lists: a user's group memberships.
MOVRANO_SOAP_CLASS(IDS_Assets, soap::Remotable,
    (IDS_ParametersArray, Records));

MOVRANO_SOAP_CLASS(IDS_User, soap::Remotable,
    (std::string, UserId)
    (std::string, AccountId)
    (std::string, UserName)
    (std::string, FirstName)
    (std::string, LastName)
    (std::string, FullName)
    (std::string, Email)
    (std::string, Organisation)
    (bool, PrimaryAdministrator)
    (std::optional<soap::XSDateTime>, LastLoginDate)
    (std::optional<soap::XSDateTime>, LastModifiedDate)
    (std::unique_ptr<IDS_Parameters>, Parameters)
    (std::unique_ptr<IDS_Assets>, Groups));

MOVRANO_SOAP_CLASS(IDS_CreateUser, IDS_User,
    (std::string, Password));

MOVRANO_SOAP_CLASS(IDS_LoginResult, soap::Remotable,
    (std::string, SessionId)
    (std::unique_ptr<IDS_User>, User)
    (std::optional<soap::XSDateTime>, LastUseDate)
    (bool, PasswordExpired));

MOVRANO_SOAP_CLASS(IDS_UserFilter, soap::Remotable,
    (std::string, UserName)
    (std::string, FullName)
    (std::string, EMail)
    (std::string, Organisation)
    (std::string, AccountId)
    (bool, Exact)
    (soap::TextList, UserIds)
    (std::optional<soap::XSDateTime>, Modified)
    (bool, GetExtraData));

MOVRANO_SOAP_CLASS(IDS_QueryUsers, soap::Remotable,
    (bool, Done)
    (std::string, RecordLocator)
    (IDS_UserArray, Records));

MOVRANO_SOAP_CLASS(IDS_Users, soap::Remotable,
    (IDS_UserArray, Records));

MOVRANO_SOAP_CLASS(IDS_Account, soap::Remotable,
    (std::string, AccountId)
    (std::string, AccountName)
    (std::string, Site)
    (std::unique_ptr<IDS_Parameters>, Parameters)
    (std::unique_ptr<IDS_Assets>, Groups)
    (std::unique_ptr<IDS_Users>, Users));

MOVRANO_SOAP_CLASS(IDS_AccountFilter, soap::Remotable,
    (soap::TextList, AccountIds)
    (std::optional<soap::XSDateTime>, Modified)
    (bool, GetExtraData));

MOVRANO_SOAP_CLASS(IDS_QueryAccounts, soap::Remotable,
    (bool, Done)
    (std::string, RecordLocator)
    (IDS_AccountArray, Records));

MOVRANO_SOAP_CLASS(IDS_GroupFilter, soap::Remotable,
    (soap::TextList, GroupIds)
    (std::string, OrganisationGUID)
    (std::optional<soap::XSDateTime>, Modified));

MOVRANO_SOAP_CLASS(IDS_QueryGroups, soap::Remotable,
    (bool, Done)
    (std::string, RecordLocator)
    (std::unique_ptr<IDS_Assets>, Groups));

MOVRANO_SOAP_CLASS(IDS_GroupMembershipFilter, soap::Remotable,
    (soap::TextList, GroupMembershipIds)
    (std::optional<soap::XSDateTime>, Modified));

MOVRANO_SOAP_CLASS(IDS_QueryGroupMemberships, soap::Remotable,
    (bool, Done)
    (std::string, RecordLocator)
    (std::unique_ptr<IDS_Assets>, GroupMemberships));

MOVRANO_SOAP_CLASS(IDS_AppInstance, soap::Remotable,
    (std::string, InstanceID)
    (std::string, InstanceName)
    (std::string, URL)
    (std::string, Descriptions)
    (std::string, Parameters));

MOVRANO_SOAP_CLASS(IDS_QueryAppInstances, soap::Remotable,
    (bool, Done)
    (std::string, RecordLocator)
    (IDS_AppInstanceArray, Records));
// clang-format on

}  // namespace movrano
