// Acts as another user while it lives: the effective ids only, so that root takes its
// own back at the end.
#pragma once

#include <sys/types.h>
#include <unistd.h>

class ScopedEffectiveUser {
 public:
  static constexpr uid_t kNobody = 65534;
  static constexpr gid_t kNoGroup = 65534;

  explicit ScopedEffectiveUser(uid_t uid) {
    ok_ = setegid(uid == 0 ? 0 : kNoGroup) == 0 && seteuid(uid) == 0;
  }
  ~ScopedEffectiveUser() {
    [[maybe_unused]] const int user = seteuid(0);
    [[maybe_unused]] const int group = setegid(0);
  }
  ScopedEffectiveUser(const ScopedEffectiveUser&) = delete;
  ScopedEffectiveUser& operator=(const ScopedEffectiveUser&) = delete;

  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};
