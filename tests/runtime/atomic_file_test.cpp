#include "runtime/atomic_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace {

using Texts = std::vector<std::string>;

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

// What a writer killed in the middle of a save leaves: its temporary file, with its pid.
TEST(AtomicFile, TheNextSaveRemovesOnlyTheTemporariesOfDeadWriters) {
  TempDir dir;
  WriteWholeFile(dir.File("big.bmp"), "previous");
  const pid_t child = fork();
  if (child == 0) {
    SaveFileAtomically(dir.File("big.bmp"), [](TStream& s) {
      s.WriteBuffer("half", 4);
      _exit(0);  // dies as under kill -9: no unwinding, no clean-up
    });
  }
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  ASSERT_EQ(FilesIn(dir.Path()), 2u) << "the crashed save left no temporary file";

  // A running writer's temporary (this process's parent lives), an older program's
  // temporary name and an operator's file stay.
  const auto temporaryOf = [&](pid_t pid) {
    return dir.File("b.gif.isoview-" + std::to_string(pid) + "-0123456789abcdef.tmp");
  };
  const Texts kept{temporaryOf(getpid()), temporaryOf(getppid()),
                   dir.File("big.bmp.4b94c6116d3cead0~"), dir.File("notes.isoview-1-x.tmp")};
  for (const std::string& name : kept) WriteWholeFile(name, "x");

  SaveFileAtomically(dir.File("big.bmp"), [](TStream& s) { s.WriteBuffer("new", 3); });
  EXPECT_EQ(ReadWholeFile(dir.File("big.bmp")), "new");
  for (const std::string& name : kept) EXPECT_TRUE(FileExists(name)) << name;
  EXPECT_EQ(FilesIn(dir.Path()), 1u + kept.size());
}

// A write the system refuses names the target and the system's reason.
TEST(AtomicFile, AFailedWriteNamesTheFileAndTheSystemsReason) {
  TempDir dir;
  const std::string target = dir.File("c.gif");
  WriteWholeFile(target, "old");
  std::string message;
  try {
    const TFileSizeLimit full(1024);
    SaveFileAtomically(target,
                       [](TStream& s) { s.WriteBuffer(std::string(4096, 'x').data(), 4096); });
  } catch (const EWriteError& error) {
    message = error.Message();
  }
  EXPECT_EQ(message, "Cannot write " + target + ": File too large");
  EXPECT_EQ(ReadWholeFile(target), "old");

  TFileStream full("/dev/full", fmOpenWrite);
  try {
    full.WriteBuffer("x", 1);
    FAIL() << "no error";
  } catch (const EWriteError& error) {
    EXPECT_EQ(error.Message(), "Cannot write /dev/full: No space left on device");
  }
}
