// Test support: a new folder for the running test, named after it, below
// the system's temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace standin {

inline std::filesystem::path MakeTestFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (std::string(test->test_suite_name()) + "." +
                                                  std::to_string(getpid()) + "." + test->name());
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace standin
