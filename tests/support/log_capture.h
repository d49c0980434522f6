#pragma once
// Routes the global log into a temporary text file for the length of a test,
// so that a test can check the lines the engine logged.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "foundation/log.h"

class LogCapture {
public:
    explicit LogCapture(const char* name)
        : path(testing::TempDir() + "vorlix_log_" + std::to_string(getpid()) + "_" + name) {
        logger.close();
        logger.levels.clear();
        logger.appendStandardLevels(0x7f);
        logger.textFormat = true;
        logger.enabled = true;
        opened = logger.openFile(path);
    }
    ~LogCapture() {
        logger.close();
        logger.levels.clear();
        std::remove(path.c_str());
    }
    // Everything logged so far.
    std::string text() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool contains(const std::string& fragment) const {
        return text().find(fragment) != std::string::npos;
    }

    bool opened = false;

private:
    std::string path;
};
