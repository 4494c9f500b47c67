#include "runtime/stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "runtime/exceptions.h"
#include "tests/support/temp_dir.h"

TEST(MemoryStream, ReadWriteSeekAndGrowth) {
  TMemoryStream s;
  s.WriteBuffer("hello", 5);
  EXPECT_EQ(s.Size(), 5);
  s.Seek(-2, soEnd);
  char two[2];
  s.ReadBuffer(two, 2);
  EXPECT_EQ(std::string(two, 2), "lo");
  EXPECT_EQ(s.Read(two, 2), 0);
  EXPECT_THROW(s.ReadBuffer(two, 1), EReadError);
  s.SetPosition(7);
  s.WriteBuffer("!", 1);  // writing past the end fills the gap
  EXPECT_EQ(s.Size(), 8);
  EXPECT_EQ(s.Bytes()[5], 0);
}

TEST(FileStream, CreateOpenAndErrors) {
  TempDir dir;
  {
    TFileStream out(dir.File("f"), fmCreate);
    out.WriteBuffer("abcdef", 6);
  }
  TFileStream in(dir.File("f"), fmOpenRead);
  EXPECT_EQ(in.Size(), 6);
  in.Seek(2, soBeginning);
  char c;
  in.ReadBuffer(&c, 1);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(in.Position(), 3);
  EXPECT_THROW(TFileStream(dir.File("missing"), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.Path(), fmCreate), EFCreateError);
}

TEST(Stream, CopyFromWholeSourceStartsAtItsBeginning) {
  TMemoryStream source(std::vector<uint8_t>{1, 2, 3});
  source.SetPosition(3);
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 3);
  EXPECT_EQ(target.Bytes(), (std::vector<uint8_t>{1, 2, 3}));
}

// Room announced with ExpectWrite never shows as size, and what no byte came for is not
// held once the file is closed; more bytes than announced are written all the same.
TEST(FileStream, ExpectedBytesTakeRoomOnlyForWhatCame) {
  constexpr int64_t kMiB = 1024 * 1024;
  struct TCase {
    int64_t announced, written;
  } cases[] = {{64 * kMiB, 5}, {20 * kMiB, 20 * kMiB}, {kMiB, 3 * kMiB + 1}, {0, 100}};
  TempDir dir;
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.announced) + " announced, " + std::to_string(c.written));
    const std::string bytes(static_cast<size_t>(c.written), 'x');
    {
      TFileStream out(dir.File("f"), fmCreate);
      out.ExpectWrite(c.announced);
      for (int64_t at = 0; at < c.written; at += kMiB)
        out.WriteBuffer(bytes.data() + at, std::min(kMiB, c.written - at));
      EXPECT_EQ(ReadWholeFile(dir.File("f")).size(), static_cast<size_t>(c.written));
    }
    EXPECT_LE(DiskBytes(dir.File("f")), c.written + 64 * 1024);
    EXPECT_EQ(ReadWholeFile(dir.File("f")), bytes);
  }
}

// Standard output may be a pipe: it has no position to tell, and writing to it goes on.
TEST(FileStream, APipeHasNoPositionButTakesWrites) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  {
    TFileStream out("/proc/self/fd/" + std::to_string(ends[1]), fmCreate);
    EXPECT_EQ(out.Position(), 0);
    EXPECT_EQ(out.Size(), 0);
    out.ExpectWrite(1000);
    out.WriteBuffer("chart", 5);
  }
  ::close(ends[1]);
  char read[8] = {};
  EXPECT_EQ(::read(ends[0], read, sizeof read), 5);
  EXPECT_STREQ(read, "chart");
  ::close(ends[0]);
}
