// Test support: a fixture that puts an in-memory registry behind the
// services, watches every call, and fails the test if a handle leaks.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "standin/journal.h"
#include "standin/memory_store.h"

namespace standin {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The journal entries of one service, in order.
    std::vector<std::string> CallsTo(std::string_view function) const;
    // The texts of the message boxes shown, in order.
    std::vector<std::string> Boxes() const;

    MemoryStore store_;
};

}  // namespace standin
