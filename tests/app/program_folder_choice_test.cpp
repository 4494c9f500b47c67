#include "app/program_folder_choice.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/new_program_folder.h"
#include "runtime/exceptions.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct TChoiceCase {
  const char* what;
  std::string explicitFolder;
  bool scheduleBesideExecutable;
  TDataHome dataHome;
  std::string
      expected;  // "<exe>/" stands for the executable's folder, "<cwd>/" for the current one
};

// A checkout or a copied folder keeps working as before; an installed program, which has
// no schedule beside it in /usr/bin, keeps its lists under the data home.
TEST(ProgramFolder, ChosenFromOptionExecutableFolderOrDataHome) {
  const TChoiceCase cases[] = {
      {"option", "/srv/charts", true, {"/data", "/home/op"}, "/srv/charts/"},
      {"option with slash", "/srv/charts/", false, {}, "/srv/charts/"},
      {"relative option", "north/../south", false, {}, "<cwd>/south/"},
      {"schedule beside", "", true, {"/data", "/home/op"}, "<exe>/"},
      {"data home", "", false, {"/data", "/home/op"}, "/data/isoview/"},
      {"data home with slash", "", false, {"/data/", "/home/op"}, "/data/isoview/"},
      {"no data home", "", false, {"", "/home/op"}, "/home/op/.local/share/isoview/"},
      {"relative data home", "", false, {"data", "/home/op/"}, "/home/op/.local/share/isoview/"},
  };
  for (const TChoiceCase& c : cases) {
    const TempDir bin;
    if (c.scheduleBesideExecutable) WriteWholeFile(bin.File("schedule.txt"), "");
    std::string expected = c.expected;
    if (expected.starts_with("<exe>/")) expected = bin.Path() + expected.substr(6);
    if (expected.starts_with("<cwd>/"))
      expected = fs::current_path().string() + "/" + expected.substr(6);
    EXPECT_EQ(ChooseProgramFolder(c.explicitFolder, bin.File("isoview"), c.dataHome), expected)
        << c.what;
  }
}

TEST(ProgramFolder, ExamplesAreInstalledBesideTheBinFolder) {
  EXPECT_EQ(ExamplesFolderOf("/usr/bin/isoview"), "/usr/share/isoview/examples/");
  EXPECT_EQ(ExamplesFolderOf("/opt/iso/bin/isoview"), "/opt/iso/share/isoview/examples/");
}

class NewProgramFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(examples());
    WriteWholeFile(examples() + "schedule.txt", "");
    WriteWholeFile(examples() + "jpegcomp.txt", "75\r\n");
  }
  std::string examples() const { return dir_.File("examples/"); }
  std::vector<std::string> Names(const std::string& folder) const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
};

TEST_F(NewProgramFolder, IsMadeWithItsParentsAndTheExamplesAndNothingElse) {
  const std::string folder = dir_.File("data/isoview/");
  EXPECT_EQ(MakeProgramFolder(folder, examples()),
            "Created the program folder " + folder + " with the example lists from " + examples());
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"jpegcomp.txt", "schedule.txt"}));
  EXPECT_EQ(ReadWholeFile(folder + "jpegcomp.txt"), "75\r\n");
  // The staging folder is gone: only the new folder stands in the parent.
  EXPECT_EQ(Names(dir_.File("data")), std::vector<std::string>{"isoview"});
}

TEST_F(NewProgramFolder, AnExistingFolderGetsNoExamples) {
  const std::string folder = dir_.File("station/");
  fs::create_directory(folder);
  EXPECT_EQ(MakeProgramFolder(folder, examples()), "");
  EXPECT_TRUE(Names(folder).empty());
}

TEST_F(NewProgramFolder, WithoutExamplesIsMadeEmptyAndSaysSo) {
  const std::string folder = dir_.File("station/");
  const std::string missing = dir_.File("nothing/");
  EXPECT_EQ(MakeProgramFolder(folder, missing),
            "Created the program folder " + folder + "; no example lists in " + missing);
  EXPECT_TRUE(Names(folder).empty());
}

TEST_F(NewProgramFolder, AFileInTheWayIsAnError) {
  WriteWholeFile(dir_.File("station"), "");
  EXPECT_EQ(MessageRaised<Exception>([&] { MakeProgramFolder(dir_.File("station/"), examples()); }),
            "Cannot create the program folder " + dir_.File("station/") + ": it is not a folder");
  WriteWholeFile(dir_.File("parent"), "");
  EXPECT_NE(MessageRaised<Exception>(
                [&] { MakeProgramFolder(dir_.File("parent/station/"), examples()); }),
            "(nothing raised)");
}

}  // namespace
