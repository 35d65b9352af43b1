#include "standin/test_registry.h"

#include <string>

#include "standin/registry_services.h"

namespace standin {
namespace {

// Undoes Quote() on the inside of a quoted journal field.
std::string Unquote(std::string_view quoted) {
    std::string text;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            text += quoted[i];
        } else if (quoted[++i] == 'x') {
            text += static_cast<char>(std::stoi(std::string(quoted.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            text += quoted[i] == '0' ? '\0' : quoted[i];
        }
    }
    return text;
}

}  // namespace

void RegistryTest::SetUp() {
    UseStore(&store_);
    StartJournal();
}

void RegistryTest::TearDown() {
    EXPECT_EQ(OpenHandleCount(), 0) << "a registry key was left open";
    StopJournal();
    UseStore(nullptr);
}

std::vector<std::string> RegistryTest::CallsTo(std::string_view function) const {
    std::vector<std::string> calls;
    for (const std::string& entry : Journal()) {
        if (entry.starts_with(function) && entry[function.size()] == '(') {
            calls.push_back(entry);
        }
    }
    return calls;
}

std::vector<std::string> RegistryTest::Boxes() const {
    // Every box is shown the same way; anything else is a fault in itself.
    std::vector<std::string> texts;
    const std::string head = "MessageBoxA(NULL, \"";
    const std::string tail = "\", \"Tonvane\", 0)";
    for (const std::string& entry : CallsTo("MessageBoxA")) {
        EXPECT_TRUE(entry.starts_with(head) && entry.ends_with(tail)) << entry;
        texts.push_back(Unquote(
            std::string_view(entry).substr(head.size(), entry.size() - head.size() - tail.size())));
    }
    return texts;
}

}  // namespace standin
