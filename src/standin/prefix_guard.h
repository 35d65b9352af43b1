// What must hold before a Wine prefix's files are read or changed: the
// prefix is named as Wine accepts it, no other run of ours is changing it,
// and no wineserver holds its registry in memory (it would write its own
// copy over the change when it stops).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "standin/win32_api.h"

namespace standin {

class PrefixGuard {
public:
    explicit PrefixGuard(std::string prefix);
    ~PrefixGuard();
    PrefixGuard(const PrefixGuard&) = delete;
    PrefixGuard& operator=(const PrefixGuard&) = delete;

    // Checks and locks once; later calls give the first one's status. Each
    // refusal is told on standard error with what to do about it.
    LONG Acquire();

    // For tests: how long to wait for another run's lock, and where the
    // processes are listed.
    static void SetLockWait(std::chrono::milliseconds wait);
    static void SetProcessFolder(std::string folder);

private:
    LONG Take();
    LONG TakeLock();
    LONG CheckNoWineserver() const;

    std::string prefix_;
    int lock_ = -1;
    std::optional<LONG> status_;  // once Acquire has run
};

}  // namespace standin
