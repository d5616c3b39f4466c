// A fresh machine directory per test, so registry and calibration files never leak between
// tests or into the user's real state directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "host/files/machine_root.h"
#include "host/kernel/host_reset.h"
#include "host/registry/registry_store.h"

class TempMachine : public ::testing::Test {
protected:
    void SetUp() override {
        host::ResetHost();
        machine_ = std::make_unique<host::TemporaryMachineRoot>("machine");
        ASSERT_FALSE(machine_->Path().empty());
        root_ = machine_->Path();
        host::registry::DiscardHive();
    }
    void TearDown() override {
        host::ResetHost();
        host::registry::DiscardHive();
        machine_.reset();
    }

    // Drops everything the process remembers, as a restart of the program would.
    void Restart() { host::registry::DiscardHive(); }

    std::string ReadHostFile(const std::string& relative) const {
        std::ifstream in(root_ + "/" + relative, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteHostFile(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(root_ + "/" + relative).parent_path());
        std::ofstream(root_ + "/" + relative, std::ios::binary) << bytes;
    }
    bool HostFileExists(const std::string& relative) const {
        return std::filesystem::exists(root_ + "/" + relative);
    }

    std::unique_ptr<host::TemporaryMachineRoot> machine_;
    std::string root_;
};
