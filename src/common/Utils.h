#pragma once
// The vocabulary the engine shares with the worker, the window, the
// catalog migration and vault discovery: migration modes, the callbacks
// through which a run reports, the program's exception class and the
// record of the Oracle mode.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace movrano {

enum class TMigrationMode : uint8_t {
  mmOutpostToTVS,
  mmOutpostToSVS,
  mmSVSToTVS,
  mmUpdateTVSCatalog,
  mmTVSFirebirdToTVSOracle,
  mmSVSToTVSOffline,
};

// The enumerator's name, as the log prints it ("mmSVSToTVSOffline").
const char* MigrationModeName(TMigrationMode mode);

// Callbacks may be unset (empty); whoever holds one tests it first.
using TLogCallBack = std::function<void(const std::string& AText)>;
using TUpdateStatusCallBack = std::function<void(bool aInProcess)>;
using TProgressEvent = std::function<void(const std::string& ACaption, int32_t APosition)>;
using TConvertProc = std::function<std::string(const std::string& AOriginalValue)>;

// Every expected failure of the engine, the catalog migration and vault
// discovery, with a finished English message.
MOVRANO_DECLARE_EXCEPTION(EMovrano, Exception);

struct TTVSOracleParams {
  std::string TNSName;
  bool DirectConnection = false;
  std::string Host;
  int32_t Port = 0;
  std::string Scheme;
  std::string User;
  std::string Password;
  std::string Installer;
  std::string UnInstaller;
  std::string BackupFileName;
};

[[noreturn]] void RaiseMigrationError(const std::string& message);
[[noreturn]] void RaiseMigrationErrorFmt(std::string_view format,
                                         const std::vector<FormatArg>& values);

}  // namespace movrano
