// What the stand-in services let a test see and steer: a journal of every
// service call with its arguments and result, calls made to fail on demand,
// and the number of registry handles still open.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standin/win32_api.h"

namespace standin {

// Starts an empty journal and clears any planned failures. Until then the
// services keep no journal.
void StartJournal();
void StopJournal();
const std::vector<std::string>& Journal();
// Building an entry costs time on large registries: callers ask first.
bool Journaling();
void Record(std::string entry);

// Makes the `occurrence`-th call (from 1) of `function` after this point
// return `status` without doing anything.
void FailCall(std::string_view function, int occurrence, LONG status);
// The status planned for this call of `function`, or ERROR_SUCCESS.
LONG PlannedFailure(std::string_view function);

// Text as C would write it in quotes; NULs and other bytes outside printable
// ASCII as escapes.
std::string Quote(std::string_view text);

}  // namespace standin
