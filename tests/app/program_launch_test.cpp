// The launcher that starts the engine builds for the tests: which files it
// takes for 32-bit x86 programs, and which way (native or through qemu-i386)
// it starts them. A kernel without 32-bit support is stood in for by ELF
// headers that every kernel refuses with "Exec format error" (type ET_NONE,
// which no binfmt registration of the emulator matches either).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "launch/program_launch.h"
#include "support/child_process.h"
#include "tools_test_support.h"

namespace {

constexpr unsigned char class32 = 1, class64 = 2;
constexpr unsigned machine386 = 3, machineArm = 40, machineX8664 = 62;
constexpr unsigned typeNone = 0, typeExec = 2;

std::string elfHeader(unsigned char elfClass, unsigned machine, unsigned type) {
    std::string header(64, '\0');
    header.replace(0, 4, "\x7f" "ELF");
    header[4] = char(elfClass);
    header[5] = 1;  // little-endian
    header[6] = 1;  // version
    header[16] = char(type);
    header[18] = char(machine & 0xff);
    header[19] = char(machine >> 8);
    header[20] = 1;
    return header;
}

// Sets VORLIX_EMULATE_X86 (or clears it, for a null value) for the life of
// the object.
class ForceEmulation {
public:
    explicit ForceEmulation(const char* value) {
        if (const char* old = std::getenv(launch::forceVariable)) saved = old, hadValue = true;
        set(value);
    }
    ~ForceEmulation() { set(hadValue ? saved.c_str() : nullptr); }

private:
    static void set(const char* value) {
        if (value) setenv(launch::forceVariable, value, 1);
        else unsetenv(launch::forceVariable);
    }
    std::string saved;
    bool hadValue = false;
};

class ProgramLaunch : public testing::Test {
protected:
    tools_test::TempDir dir;

    std::string program(const std::string& name, const std::string& bytes) {
        const std::string path = dir.write(name, bytes);
        chmod(path.c_str(), 0755);
        return path;
    }
};

}  // namespace

TEST_F(ProgramLaunch, OnlyLittleEndian32BitX86ElfFilesAreI386Programs) {
    std::string bigEndian = elfHeader(class32, 0, typeExec);
    bigEndian[5] = 2;
    bigEndian[19] = char(machine386);
    const struct {
        const char* name;
        std::string bytes;
        bool i386;
    } cases[] = {
        {"x86", elfHeader(class32, machine386, typeExec), true},
        {"x86-none", elfHeader(class32, machine386, typeNone), true},
        {"x86-64", elfHeader(class64, machineX8664, typeExec), false},
        {"arm", elfHeader(class32, machineArm, typeExec), false},
        {"big-endian", bigEndian, false},
        {"script", "#!/bin/sh\nexit 0\n", false},
        {"short", elfHeader(class32, machine386, typeExec).substr(0, 19), false},
    };
    for (const auto& c : cases) EXPECT_EQ(launch::isI386Program(program(c.name, c.bytes)), c.i386) << c.name;
    EXPECT_FALSE(launch::isI386Program(dir.file("absent")));
}

TEST_F(ProgramLaunch, WayFollowsTheKernelAndTheSwitch) {
    const std::string refusedI386 = program("i386", elfHeader(class32, machine386, typeNone));
    const std::string refusedX8664 = program("x86-64", elfHeader(class64, machineX8664, typeNone));
    const struct {
        const char* what;
        std::string path;
        const char* force;
        launch::Way way;
        int started;  // 1 or 0; -1 where it depends on the emulator being installed
    } cases[] = {
        // What the kernel refuses goes to the emulator only when it is a
        // 32-bit x86 program.
        {"i386 refused", refusedI386, nullptr, launch::Way::Emulated, -1},
        {"i386 refused, switch 0", refusedI386, "0", launch::Way::Emulated, -1},
        {"x86-64 refused", refusedX8664, nullptr, launch::Way::Native, 0},
        {"x86-64 refused, forced", refusedX8664, "1", launch::Way::Native, 0},
        // The switch concerns the 32-bit builds alone.
        {"main build", programPath(), nullptr, launch::Way::Native, 1},
        {"main build, forced", programPath(), "1", launch::Way::Native, 1},
        {"missing", dir.file("absent"), "1", launch::Way::Native, 0},
    };
    for (const auto& c : cases) {
        ForceEmulation force(c.force);
        launch::Way way = c.way == launch::Way::Native ? launch::Way::Emulated : launch::Way::Native;
        const bool started = launch::probeWay(c.path, way);
        if (c.started >= 0) {
            EXPECT_EQ(started, c.started == 1) << c.what;
        }
        EXPECT_EQ(way, c.way) << c.what;
    }
}

// Forced, a 32-bit build never starts natively, whatever the kernel can do.
TEST_F(ProgramLaunch, ForcedEmulationStartsThe32BitBuildsUnderTheEmulator) {
    ForceEmulation force("1");
    for (const char* build : {"vorlix-x86", "vorlix-x86-static"}) {
        const std::string path = programPath(build);
        if (access(path.c_str(), X_OK) != 0) continue;
        launch::Way way = launch::Way::Native;
        launch::probeWay(path, way);
        EXPECT_EQ(way, launch::Way::Emulated) << build;
    }
}
