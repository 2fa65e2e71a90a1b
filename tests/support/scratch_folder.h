// A folder of its own for each test, under the system's temporary folder and
// named after the test, made empty when the test starts and removed when it
// ends: runs never see each other's files, and a run that was cut short
// leaves nothing in the next one's way.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix)
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        path_ = std::filesystem::temp_directory_path() / (prefix + "_" + name);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
