#include "runtime/atomic_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/temp_dir.h"

namespace {

size_t FilesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

}  // namespace

TEST(AtomicFile, ReplacesTheTargetWhenWritingSucceeds) {
  TempDir dir;
  WriteWholeFile(dir.File("a.bin"), "old");
  SaveFileAtomically(dir.File("a.bin"), [](TStream& s) { s.WriteBuffer("new!", 4); });
  EXPECT_EQ(ReadWholeFile(dir.File("a.bin")), "new!");
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(AtomicFile, AFailingWriterLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  WriteWholeFile(dir.File("a.bin"), "old");
  EXPECT_THROW(SaveFileAtomically(dir.File("a.bin"),
                                  [](TStream& s) {
                                    s.WriteBuffer("half", 4);
                                    throw EWriteError("Stream write error");
                                  }),
               EWriteError);
  EXPECT_EQ(ReadWholeFile(dir.File("a.bin")), "old");
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(AtomicFile, MissingFolderRaisesCannotCreate) {
  TempDir dir;
  const std::string target = dir.File("no/such/folder.bin");
  try {
    SaveFileAtomically(target, [](TStream&) {});
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file " + target);
  }
}

TEST(AtomicFile, FilesSavedTogetherAreAllKeptWhenALaterOneFails) {
  TempDir dir;
  WriteWholeFile(dir.File("a.txt"), "old a");
  WriteWholeFile(dir.File("b.txt"), "old b");
  const auto fails = [](TStream&) { throw EWriteError("Stream write error"); };
  const auto writesNew = [](TStream& s) { s.WriteBuffer("new", 3); };
  EXPECT_THROW(SaveFilesAtomically({{dir.File("a.txt"), writesNew}, {dir.File("b.txt"), fails}}),
               EWriteError);
  EXPECT_EQ(ReadWholeFile(dir.File("a.txt")), "old a");
  EXPECT_EQ(ReadWholeFile(dir.File("b.txt")), "old b");
  EXPECT_EQ(FilesIn(dir.Path()), 2u);

  SaveFilesAtomically({{dir.File("a.txt"), writesNew}, {dir.File("b.txt"), writesNew}});
  EXPECT_EQ(ReadWholeFile(dir.File("a.txt")), "new");
  EXPECT_EQ(ReadWholeFile(dir.File("b.txt")), "new");
  EXPECT_EQ(FilesIn(dir.Path()), 2u);
}

TEST(AtomicFile, AWriteProtectedTargetIsRefusedAndKept) {
  TempDir dir;
  const std::string target = dir.File("locked.txt");
  WriteWholeFile(target, "keep me");
  chmod(target.c_str(), 0444);
  EXPECT_THROW(SaveFileAtomically(target, [](TStream& s) { s.WriteBuffer("x", 1); }),
               EFCreateError);
  EXPECT_EQ(ReadWholeFile(target), "keep me");
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(AtomicFile, TheReplacementKeepsTheTargetsPermissions) {
  TempDir dir;
  const std::string target = dir.File("shared.txt");
  WriteWholeFile(target, "old");
  chmod(target.c_str(), 0640);
  SaveFileAtomically(target, [](TStream& s) { s.WriteBuffer("new", 3); });
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}
