#pragma once
// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes: the working directory of an engine
// process that a test or the game referee starts, so that its configuration
// and log files are under the caller's control and nothing is left behind.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class TempDir {
public:
    explicit TempDir(const char* prefix = "vorlix_proc") {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/" + prefix + "_XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) != nullptr) path = name.data();
    }
    ~TempDir() {
        if (path.empty()) return;
        for (const std::string& name : files()) std::remove((path + "/" + name).c_str());
        rmdir(path.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path + "/" + name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path + "/" + name, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool exists(const std::string& name) const {
        struct stat info;
        return stat((path + "/" + name).c_str(), &info) == 0;
    }
    // Names in the directory, "." and ".." left out, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(path.c_str())) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string path;
};
