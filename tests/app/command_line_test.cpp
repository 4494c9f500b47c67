#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct TCommandLineCase {
  std::vector<std::string> args;
  TCommandAction action;
  std::string folder;
};

const TCommandAction run = TCommandAction::caRun;
const TCommandAction help = TCommandAction::caHelp;
const TCommandAction version = TCommandAction::caVersion;
const TCommandAction wrong = TCommandAction::caUsageError;

// --help and --version answer whatever else is there; anything but one --folder DIR and one
// --web ADDRESS:PORT is
// refused, Qt's own options included, so a typo never starts a station in the wrong place.
const TCommandLineCase kCases[] = {
    {{}, run, ""},
    {{"--folder", "/srv/charts"}, run, "/srv/charts"},
    {{"--folder=/srv/charts"}, run, "/srv/charts"},
    {{"--folder", "--folder"}, run, "--folder"},
    {{"--help"}, help, ""},
    {{"--folder", "x", "--help"}, help, ""},
    {{"--bogus", "--version"}, version, ""},
    {{"--version", "--help"}, help, ""},
    {{"--folder"}, wrong, ""},
    {{"--folder="}, wrong, ""},
    {{"--folder", ""}, wrong, ""},
    {{"--folder", "a", "--folder", "b"}, wrong, ""},
    {{"--folder=a", "--folder=a"}, wrong, ""},
    {{"-platform", "offscreen"}, wrong, ""},
    {{"schedule.txt"}, wrong, ""},
    {{"--folder", "a", "b"}, wrong, ""},
    {{"-h"}, wrong, ""},
    {{"--web"}, wrong, ""},
    {{"--web="}, wrong, ""},
    {{"--web", "a", "--web", "a"}, wrong, ""},
    {{"--folder=x", "--web=:8080"}, run, "x"},
};

TEST(CommandLine, ActionAndFolderForEachArgumentList) {
  for (const TCommandLineCase& c : kCases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += " [" + arg + "]";
    const TCommandLine parsed = ParseCommandLine(c.args);
    EXPECT_EQ(parsed.action, c.action) << shown;
    EXPECT_EQ(parsed.folder, c.folder) << shown;
    EXPECT_EQ(parsed.error.empty(), c.action != wrong) << shown << ": " << parsed.error;
  }
}

TEST(CommandLine, WebAddressInBothSpellings) {
  EXPECT_EQ(ParseCommandLine({"--web", "127.0.0.1:8080"}).web, "127.0.0.1:8080");
  EXPECT_EQ(ParseCommandLine({"--folder=x", "--web=:8080"}).web, ":8080");
  EXPECT_EQ(ParseCommandLine({"--folder=x"}).web, "");
}

}  // namespace
