#pragma once
// Whether the process may manage services and install software: on Linux,
// running with the effective user id 0.
namespace movrano {

class Rights {
 public:
  virtual ~Rights() = default;
  virtual bool isUserAdmin() const = 0;
};

class EffectiveUserRights final : public Rights {
 public:
  bool isUserAdmin() const override;
};

// The answer of the current platform's rights.
bool IsUserAdmin();

}  // namespace movrano
