#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// A folder path of the running test's own, under the system's temporary
// folder: "PREFIX-PID-TESTNAME". Not created.
inline std::filesystem::path TestFolderPath(const std::string& prefix) {
    return std::filesystem::temp_directory_path() /
           (prefix + "-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
}
