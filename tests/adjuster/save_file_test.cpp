#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "adjuster/save_file.hpp"
#include "model_helpers.hpp"
#include "support/test_support.hpp"

using namespace ostrand;
using adjustertest::ScriptedConsole;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// The names in a directory, sorted.
std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Ask(const std::string& backup) {
    return "The file already exists!\nThe old file will be kept as " + backup +
           "\nType 'o' to overwrite or any other key to cancel\n";
}

}  // namespace

TEST(SaveFile, NewFileIsWritten) {
    testsupport::TempDir dir;
    ScriptedConsole io("");
    EXPECT_EQ(SaveFile(dir.file("new.txt"), "begin\nend\n", io.console), SaveResult::kWritten);
    EXPECT_EQ(io.Output(), "Write complete\n");
    EXPECT_EQ(ReadFile(dir.file("new.txt")), "begin\nend\n");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"new.txt"});
}

TEST(SaveFile, OnlyOOverwritesAndTheOldFileIsKept) {
    struct Case {
        const char* answer;
        SaveResult result;
        const char* content;
    };
    const Case cases[] = {
        {"o\n", SaveResult::kWritten, "new"},
        {"ok\n", SaveResult::kCancelled, "old\n"},
        {"O\n", SaveResult::kCancelled, "old\n"},
        {"", SaveResult::kEndOfInput, "old\n"},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        WriteFile(dir.file("f.txt"), "old\n");
        ScriptedConsole io(c.answer);
        EXPECT_EQ(SaveFile(dir.file("f.txt"), "new", io.console), c.result) << c.answer;
        bool written = c.result == SaveResult::kWritten;
        EXPECT_EQ(io.Output(), Ask(dir.file("f.txt.bak")) + (written ? "Write complete\n" : ""));
        EXPECT_EQ(ReadFile(dir.file("f.txt")), c.content);
        EXPECT_EQ(FileExists(dir.file("f.txt.bak")), written);
        if (written) {
            EXPECT_EQ(ReadFile(dir.file("f.txt.bak")), "old\n");
        }
    }
    // Without the question, and keeping the old file's permissions.
    testsupport::TempDir dir;
    WriteFile(dir.file("f.txt"), "old\n");
    chmod(dir.file("f.txt").c_str(), 0640);
    ScriptedConsole io("");
    EXPECT_EQ(SaveFile(dir.file("f.txt"), "new", io.console, Overwrite::kAllow),
              SaveResult::kWritten);
    EXPECT_EQ(io.Output(),
              "The old file is kept as " + dir.file("f.txt.bak") + "\nWrite complete\n");
    struct stat st;
    ASSERT_EQ(stat(dir.file("f.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"f.txt", "f.txt.bak"}));
}

TEST(SaveFile, OnlyRegularFilesAreSavedOnto) {
    struct Case {
        const char* name;
        bool (*make)(const std::string& path);  // false: cannot be made here, skip
    };
    const Case cases[] = {
        {"fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0644) == 0; }},
        {"directory", [](const std::string& p) { return mkdir(p.c_str(), 0755) == 0; }},
        {"device",
         [](const std::string& p) {  // a copy of /dev/null, as root only
             return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
         }},
        {"link to fifo",
         [](const std::string& p) {
             return mkfifo((p + ".target").c_str(), 0644) == 0 &&
                    symlink((p + ".target").c_str(), p.c_str()) == 0;
         }},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        std::string target = dir.file("out.txt");
        if (!c.make(target)) {
            std::printf("%s cannot be made here; not checked\n", c.name);
            continue;
        }
        std::vector<std::string> before = Names(dir.path());
        for (Overwrite overwrite : {Overwrite::kAsk, Overwrite::kAllow}) {
            ScriptedConsole io("o\n");
            EXPECT_EQ(SaveFile(target, "new", io.console, overwrite), SaveResult::kRefused)
                << c.name;
            EXPECT_EQ(io.Output(), "Cannot save to " + target +
                                       ": it is not a regular file; nothing was changed\n")
                << c.name;
        }
        EXPECT_EQ(Names(dir.path()), before) << c.name;
        struct stat st;
        ASSERT_EQ(lstat(target.c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode)) << c.name;
    }
}

TEST(SaveFile, SymbolicLinksAreWrittenThrough) {
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir.file("real"));
    WriteFile(dir.file("real/f.txt"), "old\n");
    ASSERT_EQ(symlink("real/f.txt", dir.file("link.txt").c_str()), 0);
    ASSERT_EQ(symlink("link.txt", dir.file("link2.txt").c_str()), 0);  // a link to a link
    ASSERT_EQ(symlink("real/new.txt", dir.file("dangling.txt").c_str()), 0);
    for (const char* name : {"link.txt", "link2.txt"}) {
        ScriptedConsole io("");
        EXPECT_EQ(
            SaveFile(dir.file(name), std::string("via ") + name, io.console, Overwrite::kAllow),
            SaveResult::kWritten);
        EXPECT_TRUE(std::filesystem::is_symlink(dir.file(name)));
        EXPECT_EQ(ReadFile(dir.file("real/f.txt")), std::string("via ") + name);
    }
    EXPECT_EQ(ReadFile(dir.file("link.txt.bak")), "old\n");
    EXPECT_EQ(ReadFile(dir.file("link2.txt.bak")), "via link.txt");
    ScriptedConsole io("");
    EXPECT_EQ(SaveFile(dir.file("dangling.txt"), "fresh", io.console), SaveResult::kWritten);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.txt")));
    EXPECT_EQ(ReadFile(dir.file("real/new.txt")), "fresh");
    EXPECT_EQ(Names(dir.file("real")), (std::vector<std::string>{"f.txt", "new.txt"}));
}

TEST(SaveFile, TemporariesAreUniqueToTheProcess) {
    testsupport::TempDir dir;
    // A temporary left by another process does not block the save.
    std::string stale = dir.file("f.txt.99999999.tmp");
    WriteFile(stale, "stale");
    ScriptedConsole io("");
    EXPECT_EQ(SaveFile(dir.file("f.txt"), "new", io.console), SaveResult::kWritten);
    EXPECT_EQ(ReadFile(dir.file("f.txt")), "new");
    EXPECT_EQ(ReadFile(stale), "stale");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"f.txt", "f.txt.99999999.tmp"}));
}

TEST(SaveFile, AFailedCreateNamesTheFile) {
    testsupport::TempDir dir;
    ScriptedConsole io("");
    std::string target = dir.file("missing/f.txt");
    EXPECT_EQ(SaveFile(target, "x", io.console), SaveResult::kFailed);
    EXPECT_EQ(io.Output(), "Cannot create the temporary file " + target + "." +
                               std::to_string(getpid()) +
                               ".tmp (No such file or directory); the file was not changed\n");
    EXPECT_FALSE(FileExists(target));
}
