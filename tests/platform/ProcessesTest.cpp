#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Exceptions.h"
#include "platform/Processes.h"
#include "platform/Subprocess.h"
#include "support/platform/TempDir.h"
#include "support/platform/TestPlatform.h"

namespace movrano {
namespace {

using ::testing::ElementsAreArray;
using testing::TempDir;
using testing::TestPlatform;

struct SplitCase {
  const char* line;
  std::vector<std::string> items;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << "[" << c.line << "]";
}

class PlatformCommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PlatformCommandLineSplit, GivesTheProgramAndItsArguments) {
  EXPECT_THAT(SplitCommandLine(GetParam().line), ElementsAreArray(GetParam().items));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PlatformCommandLineSplit,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"   \t ", {}}, SplitCase{"prog", {"prog"}},
                      SplitCase{"prog a  b\tc", {"prog", "a", "b", "c"}},
                      SplitCase{R"("/opt/my tools/prog" x)", {"/opt/my tools/prog", "x"}},
                      // The program name knows no backslash escapes.
                      SplitCase{R"("C:\dir\" x)", {R"(C:\dir\)", "x"}},
                      SplitCase{R"(p "a b" c)", {"p", "a b", "c"}},
                      SplitCase{R"(p a"b c"d)", {"p", "ab cd"}}, SplitCase{R"(p "")", {"p", ""}},
                      SplitCase{R"(p \"a\")", {"p", R"("a")"}},
                      SplitCase{R"(p a\\"b c")", {"p", R"(a\b c)"}},
                      SplitCase{R"(p a\\\"b)", {"p", R"(a\"b)"}},
                      SplitCase{R"(p C:\dir\file a\\b)", {"p", R"(C:\dir\file)", R"(a\\b)"}},
                      SplitCase{R"(p "C:\dir\\" next)", {"p", R"(C:\dir\)", "next"}},
                      SplitCase{R"(p "a ""quoted"" word")", {"p", R"(a "quoted" word)"}},
                      SplitCase{R"(p /DBServer="host:1521" /DBPassword="p w")",
                                {"p", "/DBServer=host:1521", "/DBPassword=p w"}},
                      SplitCase{R"(p "unterminated arg)", {"p", "unterminated arg"}}));

TEST(PlatformCommandLineQuote, AQuotedItemSplitsBackWhole) {
  for (const std::string text : {"plain", "two words", R"(C:\dir\)", R"(a\b c)", R"(end\\)", ""}) {
    EXPECT_THAT(SplitCommandLine("p " + QuoteCommandLineItem(text) + " next"),
                ElementsAreArray({std::string("p"), text, std::string("next")}))
        << text;
    EXPECT_THAT(SplitCommandLine("p /Key=\"" + EscapeQuotedText(text) + "\" next"),
                ElementsAreArray({std::string("p"), "/Key=" + text, std::string("next")}))
        << text;
  }
  EXPECT_TRUE(CanQuote("two words"));
  EXPECT_FALSE(CanQuote("say \"hi\""));
}

// Runs a command line through the real platform with the child's standard
// output going to a file, and returns what it printed.
class PlatformRunProcess : public ::testing::Test {
 protected:
  std::string run(const std::string& commandLine, uint32_t* exitCode = nullptr) {
    const auto out = dir.path() / "stdout.txt";
    fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
    uint32_t code = 0;
    try {
      code = RunProcessAndWait(commandLine);
    } catch (...) {
      restore(saved);
      throw;
    }
    restore(saved);
    if (exitCode) *exitCode = code;
    return testing::ReadFileBytes(out);
  }

  static void restore(int saved) {
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
  }

  static std::string helper() { return MOVRANO_PRINT_ARGS; }

  TestPlatform platform;
  TempDir dir;
  void SetUp() override { platform.useRealProcesses(); }
};

TEST_F(PlatformRunProcess, PassesTheArgumentsAsSplitWithoutAShell) {
  const std::string printed =
      run(helper() + R"( plain "two words" a\"b $HOME;echo `id` "C:\dir\\" '*')");
  EXPECT_EQ(printed, "<plain>\n<two words>\n<a\"b>\n<$HOME;echo>\n<`id`>\n<C:\\dir\\>\n<'*'>\n");
}

TEST_F(PlatformRunProcess, TrimsBlanksAndControlCharactersAroundTheLine) {
  EXPECT_EQ(run("  \t" + helper() + " x  \r\n"), "<x>\n");
}

TEST_F(PlatformRunProcess, StartsAQuotedProgramPathWithBlanks) {
  const auto copy = dir.mkdir("my tools") / "print args";
  std::filesystem::copy_file(helper(), copy);
  EXPECT_EQ(run("\"" + copy.string() + "\" a"), "<a>\n");
}

TEST_F(PlatformRunProcess, AnswersTheProgramsExitCode) {
  for (const uint32_t code : {0u, 3u, 255u}) {
    uint32_t exitCode = 99;
    run(helper() + " --exit " + std::to_string(code), &exitCode);
    EXPECT_EQ(exitCode, code);
  }
}

TEST_F(PlatformRunProcess, AProgramThatCannotStartRaisesTheSystemError) {
  const auto notExecutable = dir.write("plain.txt", "text");
  const struct {
    std::string line;
    int code;
  } cases[] = {{(dir.path() / "missing.exe").string() + " /silent", ENOENT},
               {"movrano-no-such-program-anywhere", ENOENT},
               {notExecutable.string(), EACCES},
               {"   ", ENOENT}};
  for (const auto& c : cases) {
    try {
      run(c.line);
      ADD_FAILURE() << c.line << " started";
    } catch (const EOSError& e) {
      EXPECT_EQ(e.errorCode(), c.code) << c.line;
      EXPECT_EQ(e.message(), "System Error.  Code: " + std::to_string(c.code) + ".\n" +
                                 std::system_category().message(c.code));
      EXPECT_STREQ(e.className(), "EOSError");
    }
  }
}

// Descriptors this process holds, as a library or the database client
// opens them: without close-on-exec, and a socket.
class OpenDescriptors {
 public:
  OpenDescriptors() {
    fds_[0] = ::open("/dev/null", O_RDONLY);
    fds_[1] = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::pipe(&fds_[2]) != 0) fds_[2] = fds_[3] = -1;
  }
  ~OpenDescriptors() {
    for (const int fd : fds_)
      if (fd >= 0) ::close(fd);
  }
  OpenDescriptors(const OpenDescriptors&) = delete;
  OpenDescriptors& operator=(const OpenDescriptors&) = delete;

 private:
  int fds_[4] = {-1, -1, -1, -1};
};

// The engine tests that the program's file exists before it starts it: a
// bare name is that file in the current folder, not one found on PATH.
TEST_F(PlatformRunProcess, ABareProgramNameIsAFileOfTheCurrentFolderNeverOneOnPath) {
  const auto onPath = dir.mkdir("bin") / "print-args";
  std::filesystem::copy_file(helper(), onPath);
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  ::setenv("PATH", (onPath.parent_path().string() + ":" + saved).c_str(), 1);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.mkdir("work"));
  std::string printed;
  try {
    run("print-args from-path");
    ADD_FAILURE() << "a program on PATH ran";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.errorCode(), ENOENT);
  }
  std::filesystem::copy_file(helper(), dir.path() / "work" / "print-args");
  printed = run("print-args here");
  std::filesystem::current_path(cwd);
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(printed, "<here>\n");
}

TEST_F(PlatformRunProcess, AStartedProgramInheritsOnlyTheStandardStreams) {
  const OpenDescriptors held;
  EXPECT_EQ(run(helper() + " --fds"), "<0>\n<1>\n<2>\n");
  // The way systemctl is run: standard output a pipe, the others /dev/null.
  EXPECT_EQ(SpawnAndCapture({helper(), "--fds"}).output, "<0>\n<1>\n<2>\n");
}

TEST(PlatformRunProcessDouble, TheLauncherReceivesTheTrimmedLine) {
  TestPlatform platform;
  platform.processes->exitCode = 7;
  EXPECT_EQ(RunProcessAndWait("  tvbackup.exe backup -z out.zip \t"), 7u);
  EXPECT_THAT(platform.processes->commandLines,
              ElementsAreArray({"tvbackup.exe backup -z out.zip"}));
}

}  // namespace
}  // namespace movrano
