#include <gtest/gtest.h>

#include "packer/cli_arguments.h"

namespace {

bool Parse(std::vector<std::string> args, Arguments* parsed, std::string* error) {
  return ParseArguments(args, parsed, error);
}

TEST(CliArguments, BuildWithEveryOption) {
  Arguments a;
  std::string error;
  ASSERT_TRUE(Parse({"build", "s.dat", "--files", "d", "--stub=stub.exe", "-o", "out.exe", "--level", "9",
                     "--threads", "3", "--add", "x.bin=/tmp/a=b", "--add=y=z", "--quiet"},
                    &a, &error))
      << error;
  EXPECT_EQ(a.command, "build");
  EXPECT_EQ(a.operands, std::vector<std::string>{"s.dat"});
  EXPECT_EQ(a.stub, "stub.exe");
  EXPECT_EQ(a.level, 9);
  EXPECT_EQ(a.threads, 3u);
  ASSERT_EQ(a.additions.size(), 2u);
  EXPECT_EQ(a.additions[0].second, "/tmp/a=b");
  EXPECT_EQ(a.additions[1].first, "y");
  EXPECT_TRUE(a.quiet);
}

TEST(CliArguments, UsageErrors) {
  Arguments a;
  std::string error;
  EXPECT_FALSE(Parse({}, &a, &error));
  EXPECT_FALSE(Parse({"pack"}, &a, &error));
  EXPECT_FALSE(Parse({"build", "s.dat", "--files", "d", "--stub", "s.exe"}, &a, &error)) << "no -o";
  EXPECT_FALSE(Parse({"build", "s.dat", "--files", "d", "--stub", "s", "-o", "o", "--level", "10"}, &a, &error));
  EXPECT_FALSE(Parse({"build", "s.dat", "--files", "d", "--stub", "s", "-o", "o", "--threads", "0"}, &a, &error));
  EXPECT_FALSE(Parse({"build", "s.dat", "--files", "d", "--stub", "s", "-o", "o", "--add", "noequals"}, &a, &error));
  EXPECT_FALSE(Parse({"list", "a.exe", "b.exe"}, &a, &error));
  EXPECT_FALSE(Parse({"lint", "s.dat", "--stub", "x"}, &a, &error));
  EXPECT_NE(error.find("not valid for lint"), std::string::npos);
  EXPECT_FALSE(Parse({"extract", "a.exe", "m"}, &a, &error)) << "no -o";
  EXPECT_FALSE(Parse({"lint", "s.dat", "--files"}, &a, &error)) << "value missing";
}

TEST(CliArguments, HelpEverywhere) {
  for (const char* command : {"build", "list", "verify", "extract", "lint"}) {
    Arguments a;
    std::string error;
    ASSERT_TRUE(Parse({command, "--help"}, &a, &error));
    EXPECT_TRUE(a.help);
    EXPECT_EQ(UsageText(command).rfind(std::string("usage: plovepack ") + command, 0), 0u);
  }
}

}  // namespace
