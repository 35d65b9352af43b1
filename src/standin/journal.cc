#include "standin/journal.h"

#include <cstdio>
#include <map>

namespace standin {
namespace {

struct Plan {
    int calls_seen = 0;
    int occurrence = 0;
    LONG status = ERROR_SUCCESS;
};

bool journal_on = false;
std::vector<std::string> entries;
std::map<std::string, Plan, std::less<>> plans;

}  // namespace

void StartJournal() {
    journal_on = true;
    entries.clear();
    plans.clear();
}

void StopJournal() {
    journal_on = false;
    entries.clear();
    plans.clear();
}

const std::vector<std::string>& Journal() {
    return entries;
}

bool Journaling() {
    return journal_on;
}

void Record(std::string entry) {
    if (journal_on) {
        entries.push_back(std::move(entry));
    }
}

void FailCall(std::string_view function, int occurrence, LONG status) {
    plans[std::string(function)] = Plan{0, occurrence, status};
}

LONG PlannedFailure(std::string_view function) {
    const auto found = plans.find(function);
    if (found == plans.end()) {
        return ERROR_SUCCESS;
    }
    Plan& plan = found->second;
    return ++plan.calls_seen == plan.occurrence ? plan.status : ERROR_SUCCESS;
}

std::string Quote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte == 0) {
            quoted += "\\0";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace standin
